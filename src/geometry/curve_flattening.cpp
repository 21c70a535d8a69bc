#include "geometry/curve_flattening.h"

#include "geometry/arc_fit.h"
#include "geometry/int_conversion.h"

namespace brevanto {

// Two samples per length unit, times two, up to 60 arcs per curve. Very long
// curves get fewer samples per unit, but they hit the clamp anyway.
int32_t SubdivisionCount(float length) {
  int32_t factor = 4;
  if (length > 15000.0F) factor = 2;
  if (length > 30000.0F) factor = 1;
  const int32_t whole = truncateToInt32(length);
  int32_t n = truncateToInt32(static_cast<double>(whole) * 0.5 * static_cast<double>(factor));
  if (n == 0) {
    n = 4;
  } else if (n > 120) {
    n = 120;
  }
  if (n > 0 && n % 2 != 0) n += 1;
  return n;
}

// Bernstein form of the cubic, evaluated in exactly this order: the sample
// points, and so every arc after them, depend on the last bit.
Point2 curvePoint(const Segment& s, double t) {
  const double u = 1.0 - t;
  const double a = ((t * 3.0) * t) * u;
  const double b = (t * t) * t;
  const double d = ((t * 3.0) * u) * u;
  const double e = (u * u) * u;
  return {((a * s.x2 + b * s.x3) + d * s.x1) + e * s.x0,
          ((a * s.y2 + b * s.y3) + d * s.y1) + e * s.y0};
}

// Samples at t = 0, 1/n, 2/n, ... with t accumulated by repeated addition (so
// the last sample sits at 1 +- rounding, not exactly at the end point), and
// one arc through every three consecutive samples, overlapping by one. The
// samples are produced as the arcs consume them, so nothing is stored.
void CurveFlattening(const Segment& segment, std::vector<PathElement>& out) {
  const int32_t n = SubdivisionCount(segment.length);
  if (n < 2) return;
  const double step = 1.0 / static_cast<double>(n);
  double t = 0.0;
  Point2 first = curvePoint(segment, t);
  for (int32_t k = 0; k < n / 2; ++k) {
    t += step;
    const Point2 middle = curvePoint(segment, t);
    t += step;
    const Point2 last = curvePoint(segment, t);
    PathElement& arc = out.emplace_back();
    ArcFit(first, middle, last, arc);
    first = last;
  }
}

}  // namespace brevanto
