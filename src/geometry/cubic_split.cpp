#include <utility>

#include "brevanto/host.h"
#include "geometry/curve_flattening.h"
#include "geometry/int_conversion.h"

namespace brevanto {

std::pair<Segment, Segment> splitCurve(const Segment& s) {
  const auto mid = [](double a, double b) { return (a + b) * 0.5; };
  // Midpoints of the control polygon, of those, and of those: the point at
  // t = 1/2 and the control points of both halves.
  const double ax = mid(s.x0, s.x1), ay = mid(s.y0, s.y1);
  const double bx = mid(s.x1, s.x2), by = mid(s.y1, s.y2);
  const double cx = mid(s.x2, s.x3), cy = mid(s.y2, s.y3);
  const double dx = mid(ax, bx), dy = mid(ay, by);
  const double ex = mid(bx, cx), ey = mid(by, cy);
  const double mx = mid(dx, ex), my = mid(dy, ey);
  Segment first = s, second = s;
  first.x1 = ax, first.y1 = ay, first.x2 = dx, first.y2 = dy, first.x3 = mx, first.y3 = my;
  second.x0 = mx, second.y0 = my, second.x1 = ex, second.y1 = ey, second.x2 = cx, second.y2 = cy;
  return {first, second};
}

std::vector<Segment> splitCurves(std::span<const Segment> records) {
  std::vector<Segment> halves;
  halves.reserve(records.size() * 2);
  for (const Segment& s : records) {
    if (s.kind != 1) {
      halves.push_back(s);
      continue;
    }
    const auto [a, b] = splitCurve(s);
    halves.push_back(a);
    halves.push_back(b);
  }
  return halves;
}

// SubdivisionCount depends on a length's whole millimetres alone, and is
// 120 from 60 mm on (the cap; the halved factors beyond 15000 mm keep it
// there): lengths with the same whole millimetres, or all at 60 mm or more,
// sample alike.
bool sameCurveSampling(float shorter, float longer) {
  if (!(shorter >= 0.0F && longer >= shorter && longer < 2147483648.0F)) return false;
  constexpr float kCapped = 60.0F;
  return (shorter >= kCapped || truncateToInt32(shorter) == truncateToInt32(longer)) &&
         SubdivisionCount(shorter) == SubdivisionCount(longer);
}

}  // namespace brevanto
