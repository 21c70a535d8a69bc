// libFuzzer target for the command-line tool's DXF reader: any bytes as the
// drawing, text or binary. The reader must never crash, hang or throw, and
// what it returns must keep its promises (shapes numbered 1, 2, 3... in
// order, one tag per shape, every point finite).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dxf/dxf_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const brevanto::cli::dxf::DxfImport drawing = brevanto::cli::dxf::importDxf(bytes, {});
  if (!drawing.result.ok()) return 0;
  int32_t shape = 0;
  for (const Segment& s : drawing.result.segments) {
    if (s.shapeKey != shape && s.shapeKey != shape + 1) std::abort();
    shape = s.shapeKey;
    for (const double v : {s.x0, s.y0, s.x1, s.y1, s.x2, s.y2, s.x3, s.y3}) {
      if (!std::isfinite(v)) std::abort();
    }
  }
  if (shape != drawing.result.shapes ||
      drawing.tags.size() != static_cast<size_t>(drawing.result.shapes)) {
    std::abort();
  }
  return 0;
}
