// The toolpath preview, rendered by a real SVG renderer (rsvg-convert).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using brevanto::test::readFileBytes;

uint32_t bigEndian32(const std::string& s, size_t at) {
  return (static_cast<uint32_t>(static_cast<unsigned char>(s[at])) << 24) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<unsigned char>(s[at + 3]));
}

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // after undoing the PNG row filters
};

// Enough of PNG for rsvg-convert's output: 8-bit RGB or RGBA, not
// interlaced. The pixels come out as RGBA.
bool decodePng(const std::string& png, Image& image) {
  if (png.size() < 33 || png.compare(1, 3, "PNG") != 0) return false;
  image.width = bigEndian32(png, 16);
  image.height = bigEndian32(png, 20);
  if (png[24] != 8 || (png[25] != 6 && png[25] != 2) || png[28] != 0) return false;
  const size_t channels = png[25] == 6 ? 4 : 3;
  std::string compressed;
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t length = bigEndian32(png, at);
    if (png.compare(at + 4, 4, "IDAT") == 0) compressed += png.substr(at + 8, length);
    at += 12 + length;
  }
  const size_t stride = image.width * channels;
  std::vector<uint8_t> raw((stride + 1) * image.height);
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()),
                 compressed.size()) != Z_OK) {
    return false;
  }
  image.rgba.assign(stride * image.height, 0);
  for (size_t y = 0; y < image.height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    const uint8_t* in = &raw[y * (stride + 1) + 1];
    uint8_t* out = &image.rgba[y * stride];
    const uint8_t* up = y > 0 ? &image.rgba[(y - 1) * stride] : nullptr;
    for (size_t x = 0; x < stride; ++x) {
      const int a = x >= channels ? out[x - channels] : 0;
      const int b = up != nullptr ? up[x] : 0;
      const int c = x >= channels && up != nullptr ? up[x - channels] : 0;
      int predictor = 0;
      switch (filter) {
        case 1:
          predictor = a;
          break;
        case 2:
          predictor = b;
          break;
        case 3:
          predictor = (a + b) / 2;
          break;
        case 4: {
          const int p = a + b - c;
          const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
          predictor = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
          break;
        }
        default:
          break;
      }
      out[x] = static_cast<uint8_t>(in[x] + predictor);
    }
  }
  if (channels == 3) {  // widen to RGBA, opaque
    std::vector<uint8_t> rgba;
    rgba.reserve(image.width * image.height * 4);
    for (size_t i = 0; i < image.rgba.size(); i += 3) {
      rgba.insert(rgba.end(), {image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], 255});
    }
    image.rgba = std::move(rgba);
  }
  return true;
}

TEST(Preview, RendersAsAPictureOfTheExpectedSize) {
  brevanto::test::TempDir dir;
  const std::string examples = std::string(BREVANTO_SOURCE_DIR) + "/examples/";
  const std::string preview = dir.file("logo.svg");
  const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE + "' -q --settings '" +
                              examples + "CNC.ini' -o '" + dir.file("logo.tap") + "' --preview '" +
                              preview + "' '" + examples + "logo.svg'";
  int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  const std::string svg = readFileBytes(preview);
  // True arcs: an "A" command between numbers in the path data.
  bool arcCommand = false;
  for (size_t i = 1; i + 1 < svg.size() && !arcCommand; ++i) {
    arcCommand = svg[i] == 'A' && std::isdigit(static_cast<unsigned char>(svg[i - 1])) != 0 &&
                 std::isdigit(static_cast<unsigned char>(svg[i + 1])) != 0;
  }
  EXPECT_TRUE(arcCommand);
  EXPECT_NE(svg.find("stroke-dasharray"), std::string::npos);
  EXPECT_NE(svg.find("cutting length"), std::string::npos);

  const std::string png = dir.file("logo.png");
  raw = std::system(("rsvg-convert -o '" + png + "' '" + preview + "'").c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "rsvg-convert failed";
  Image image;
  ASSERT_TRUE(decodePng(readFileBytes(png), image));
  // The picture's declared size: 800 px of drawing plus two 40 px margins wide.
  const auto widthAt = svg.find("width=\"");
  ASSERT_NE(widthAt, std::string::npos);
  EXPECT_EQ(image.width, static_cast<uint32_t>(std::stod(svg.substr(widthAt + 7))));
  EXPECT_EQ(image.width, 880U);
  EXPECT_GT(image.height, 400U);
  // Not blank: white background, grey drawing, coloured cuts, dark text.
  size_t white = 0, coloured = 0, dark = 0;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    const int r = image.rgba[i], g = image.rgba[i + 1], b = image.rgba[i + 2];
    if (r > 245 && g > 245 && b > 245) ++white;
    if (std::abs(r - g) > 60 || std::abs(g - b) > 60) ++coloured;
    if (r < 80 && g < 80 && b < 80) ++dark;
  }
  const size_t pixels = image.rgba.size() / 4;
  EXPECT_GT(white, pixels / 2);
  EXPECT_GT(coloured, 1000U);
  EXPECT_GT(dark, 500U);
}

// With a tool offset: the cut as translucent bands one tool diameter wide,
// parts and holes in their own colours and named in the legend with the
// nesting's counts.
TEST(Preview, ShowsTheKerfOfPartsAndHolesWithAToolOffset) {
  brevanto::test::TempDir dir;
  const std::string examples = std::string(BREVANTO_SOURCE_DIR) + "/examples/";
  const std::string preview = dir.file("glyphs.svg");
  const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE + "' -q --settings '" +
                              examples + "CNC.ini' --offset outside -o '" + dir.file("g.tap") +
                              "' --preview '" + preview + "' '" + examples + "glyphs.svg'";
  int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  const std::string svg = readFileBytes(preview);
  EXPECT_NE(svg.find("stroke-linecap=\"round\""), std::string::npos);
  EXPECT_NE(svg.find("3 outlines of parts"), std::string::npos);
  EXPECT_NE(svg.find("4 holes"), std::string::npos);
  EXPECT_NE(svg.find("tool diameter (3 mm)"), std::string::npos);

  const std::string png = dir.file("glyphs.png");
  raw = std::system(("rsvg-convert -o '" + png + "' '" + preview + "'").c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << "rsvg-convert failed";
  Image image;
  ASSERT_TRUE(decodePng(readFileBytes(png), image));
  // The bands: 30 % of the part blue and of the hole red over white.
  size_t partBand = 0, holeBand = 0;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    const int r = image.rgba[i], g = image.rgba[i + 1], b = image.rgba[i + 2];
    const auto near = [&](int wr, int wg, int wb) {
      return std::abs(r - wr) <= 8 && std::abs(g - wg) <= 8 && std::abs(b - wb) <= 8;
    };
    partBand += near(188, 207, 236);
    holeBand += near(241, 199, 187);
  }
  EXPECT_GT(partBand, 5000U);
  EXPECT_GT(holeBand, 2000U);
}

}  // namespace
