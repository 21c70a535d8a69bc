// The toolpath preview, rendered by a real SVG renderer (rsvg-convert).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/png_image.h"
#include "support/temp_dir.h"

namespace {

using brevanto::test::decodePng;
using brevanto::test::Image;
using brevanto::test::readFileBytes;

// The preview as rsvg-convert renders it (a PNG beside it).
bool rendered(const std::string& preview, Image& image) {
  const std::string png = preview + ".png";
  const int raw = std::system(("rsvg-convert -o '" + png + "' '" + preview + "'").c_str());
  return WIFEXITED(raw) && WEXITSTATUS(raw) == 0 && decodePng(readFileBytes(png), image);
}

TEST(Preview, RendersAsAPictureOfTheExpectedSize) {
  brevanto::test::TempDir dir;
  const std::string examples = std::string(BREVANTO_SOURCE_DIR) + "/examples/";
  const std::string preview = dir.file("logo.svg");
  const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE + "' -q --settings '" +
                              examples + "CNC.ini' -o '" + dir.file("logo.tap") + "' --preview '" +
                              preview + "' '" + examples + "logo.svg'";
  const int raw = std::system(command.c_str());
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

  Image image;
  ASSERT_TRUE(rendered(preview, image)) << "rsvg-convert failed";
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
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  const std::string svg = readFileBytes(preview);
  EXPECT_NE(svg.find("stroke-linecap=\"round\""), std::string::npos);
  EXPECT_NE(svg.find("3 outlines of parts"), std::string::npos);
  EXPECT_NE(svg.find("4 holes"), std::string::npos);
  EXPECT_NE(svg.find("tool diameter (3 mm)"), std::string::npos);

  Image image;
  ASSERT_TRUE(rendered(preview, image)) << "rsvg-convert failed";
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

// With operations: cuts coloured by operation and numbered in cutting order
// with an arrow each, the shape no operation selects drawn dotted in red.
TEST(Preview, ShowsOperationsCuttingOrderAndWhatIsNotCut) {
  brevanto::test::TempDir dir;
  const std::string fixture = std::string(BREVANTO_SOURCE_DIR) + "/tests/interpreter/operations/";
  const std::string preview = dir.file("ops.svg");
  const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE + "' -q --settings '" +
                              fixture + "three_colours.ini' --operation name:Select=id:none -o '" +
                              dir.file("ops.ngc") + "' --preview '" + preview + "' '" + fixture +
                              "three_colours.svg' 2>/dev/null";
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0);
  const std::string svg = readFileBytes(preview);
  for (const char* part : {"■ hole</tspan>", "■ outline</tspan>", "\">1</text>", "\">2</text>",
                           "not cut: dotted, 1 shape(s)", "stroke-dasharray=\"2 3\""}) {
    EXPECT_NE(svg.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(svg.find("\">3</text>"), std::string::npos);

  Image image;
  ASSERT_TRUE(rendered(preview, image)) << "rsvg-convert failed";
  size_t notCut = 0;
  for (size_t i = 0; i < image.rgba.size(); i += 4) {
    notCut += image.rgba[i] > 200 && image.rgba[i + 1] < 80 && image.rgba[i + 2] < 80;
  }
  EXPECT_GT(notCut, 100U);
}

}  // namespace
