#pragma once

// Enough of PNG to look at rsvg-convert's pictures (the cli tests link zlib).
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace brevanto::test {

inline uint32_t bigEndian32(const std::string& s, size_t at) {
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
inline bool decodePng(const std::string& png, Image& image) {
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

}  // namespace brevanto::test
