// libFuzzer target for the command-line tool's SVG reader: any bytes as the
// drawing. The reader must never crash, hang or throw, and what it returns
// must keep its promises (shapes numbered 1, 2, 3... in order).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "svg/svg_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const bool flipY : {true, false}) {
    const brevanto::cli::ImportResult drawing = brevanto::cli::importSvg(text, {.flipY = flipY});
    if (!drawing.ok()) continue;
    int32_t shape = 0;
    for (const Segment& s : drawing.segments) {
      if (s.shapeKey != shape && s.shapeKey != shape + 1) std::abort();
      shape = s.shapeKey;
    }
    if (shape > drawing.shapes) std::abort();
  }
  return 0;
}
