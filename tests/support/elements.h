#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "geometry/path_element.h"

namespace brevanto::test {

// Bit-for-bit equality: copies must be exact, NaN fields included.
inline bool sameElement(const PathElement& a, const PathElement& b) {
  static_assert(sizeof(PathElement) == 10 * sizeof(double) + 4 * 4, "PathElement has padding");
  return std::memcmp(&a, &b, sizeof a) == 0;
}

inline PathElement lineElement(double x0, double y0, double x1, double y1, int32_t shapeKey = 1) {
  PathElement e;
  e.startX = x0;
  e.startY = y0;
  e.endX = x1;
  e.endY = y1;
  e.length = std::hypot(x1 - x0, y1 - y0);
  e.shapeKey = shapeKey;
  return e;
}

// An arc record with the fields the joining passes read; the angles are left
// at 0 because no decision looks at them.
inline PathElement arcElement(double x0, double y0, double x1, double y1, double cx, double cy,
                              double radius, double length, int32_t clockwise = 1,
                              int32_t shapeKey = 1) {
  PathElement e;
  e.startX = x0;
  e.startY = y0;
  e.endX = x1;
  e.endY = y1;
  e.centreX = cx;
  e.centreY = cy;
  e.radius = radius;
  e.length = length;
  e.clockwise = clockwise;
  e.radiusPerLength = static_cast<float>(radius / length);
  e.shapeKey = shapeKey;
  return e;
}

// What one application of a joining pass wrote.
struct PassResult {
  int32_t result = 0;
  std::vector<PathElement> written;  // output records 0 to result, the zero record included
  bool wroteBeyond = false;          // anything after them touched
};

// Runs `pass` the way the pipeline does: the list closed by one all-zero
// element, output room of count + extraRoom records.
template <typename Pass>
PassResult applyPass(Pass pass, std::vector<PathElement> list, int32_t extraRoom) {
  list.emplace_back();
  const auto count = static_cast<int32_t>(list.size());
  PathElement untouched;
  untouched.shapeKey = -12345;
  untouched.length = -1.0;
  std::vector<PathElement> output(list.size() + static_cast<size_t>(extraRoom), untouched);
  PassResult r;
  r.result = pass(list.data(), output.data(), &count);
  const size_t written = r.result < 0 ? 0 : static_cast<size_t>(r.result) + 1;
  r.written.assign(output.begin(), output.begin() + static_cast<std::ptrdiff_t>(written));
  for (size_t i = written; i < output.size(); ++i) {
    if (!sameElement(output[i], untouched)) r.wroteBeyond = true;
  }
  return r;
}

// The same for a joining pass at the given "Prezision" (0: the default).
using PrecisePass = int32_t (*)(const PathElement*, PathElement*, const int32_t*, double);
inline PassResult applyPassAt(PrecisePass pass, std::vector<PathElement> list, int32_t extraRoom,
                              double precision) {
  return applyPass(
      [pass, precision](const PathElement* in, PathElement* out, const int32_t* count) {
        return pass(in, out, count, precision);
      },
      std::move(list), extraRoom);
}

}  // namespace brevanto::test
