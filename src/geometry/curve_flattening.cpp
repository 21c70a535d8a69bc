#include "geometry/curve_flattening.h"

#include <cmath>
#include <tuple>
#include <utility>

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

namespace {

double distance(Point2 a, Point2 b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

// Halvings of a folded piece before its samples are cut as straight moves.
constexpr int32_t kDeepestHalving = 6;

// The piece of the curve from `first` (at t0) to `last` (at t2) whose arc
// through the middle sample folds back: each half is fitted anew, through
// its own middle sample, and halved again while it still folds; what still
// folds at the deepest level (a cusp) becomes two straight moves.
void flattenFolded(const Segment& segment, double t0, Point2 first, double t2, Point2 last,
                   int32_t depth, std::vector<PathElement>& out) {
  const double t1 = (t0 + t2) * 0.5;
  const Point2 middle = curvePoint(segment, t1);
  if (depth >= kDeepestHalving) {
    for (const auto& [from, to] : {std::pair{first, middle}, std::pair{middle, last}}) {
      PathElement& line = out.emplace_back();
      line.startX = from.x;
      line.startY = from.y;
      line.endX = to.x;
      line.endY = to.y;
      line.length = distance(from, to);
    }
    return;
  }
  for (const auto& [ta, a, tb, b] :
       {std::tuple{t0, first, t1, middle}, std::tuple{t1, middle, t2, last}}) {
    const double tm = (ta + tb) * 0.5;
    const Point2 m = curvePoint(segment, tm);
    PathElement arc;
    ArcFit(a, m, b, arc);
    if (foldsBack(arc, distance(a, m), distance(m, b))) {
      flattenFolded(segment, ta, a, tb, b, depth + 1, out);
    } else {
      out.push_back(arc);
    }
  }
}

}  // namespace

// Samples at t = 0, 1/n, 2/n, ... with t accumulated by repeated addition (so
// the last sample sits at 1 +- rounding, not exactly at the end point), and
// one arc through every three consecutive samples, overlapping by one. The
// samples are produced as the arcs consume them, so nothing is stored. An
// arc that folds back (see foldsBack) is not kept: that piece of the curve is
// sampled finer.
void CurveFlattening(const Segment& segment, std::vector<PathElement>& out) {
  const int32_t n = SubdivisionCount(segment.length);
  if (n < 2) return;
  const double step = 1.0 / static_cast<double>(n);
  double t = 0.0;
  Point2 first = curvePoint(segment, t);
  for (int32_t k = 0; k < n / 2; ++k) {
    const double tFirst = t;
    t += step;
    const Point2 middle = curvePoint(segment, t);
    t += step;
    const Point2 last = curvePoint(segment, t);
    PathElement& arc = out.emplace_back();
    ArcFit(first, middle, last, arc);
    if (foldsBack(arc, distance(first, middle), distance(middle, last))) {
      out.pop_back();
      flattenFolded(segment, tFirst, first, t, last, 1, out);
    }
    first = last;
  }
}

}  // namespace brevanto
