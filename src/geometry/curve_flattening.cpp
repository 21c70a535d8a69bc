#include "geometry/curve_flattening.h"

#include <algorithm>
#include <cmath>
#include <numbers>
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

// Calls `triple` with each three samples of the curve that one arc passes
// through (the parameter of the first, the step, the points, the parameter
// of the last), at t = 0, 1/n, 2/n, ... with t accumulated by repeated
// addition, in this order: every arc depends on the samples' last bit.
template <typename Triple>
void forEachSampleTriple(const Segment& segment, Triple&& triple) {
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
    triple(tFirst, step, first, middle, last, t);
    first = last;
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
  forEachSampleTriple(segment, [&](double tFirst, double /*step*/, Point2 first, Point2 middle,
                                   Point2 last, double t) {
    PathElement& arc = out.emplace_back();
    ArcFit(first, middle, last, arc);
    if (foldsBack(arc, distance(first, middle), distance(middle, last))) {
      out.pop_back();
      flattenFolded(segment, tFirst, first, t, last, 1, out);
    }
  });
}

// An arc through three samples meets the curve at them and strays most
// about halfway between them: the distance of the curve there from the
// circle through the samples (or their line) is measured, along the same
// parameters as CurveFlattening takes. The circle is found directly (the
// bisectors' crossing), without the angles ArcFit works out. An arc that
// folds back is sampled finer by CurveFlattening: it is left out.
double flatteningStray(const Segment& segment) {
  double largest = 0.0;
  if (segment.kind != 1) return largest;
  forEachSampleTriple(segment, [&](double tFirst, double step, Point2 first, Point2 middle,
                                   Point2 last, double /*tLast*/) {
    const double ax = middle.x - first.x, ay = middle.y - first.y;
    const double bx = last.x - first.x, by = last.y - first.y;
    const double cross = ax * by - ay * bx;
    const double chord = std::sqrt(bx * bx + by * by);
    for (const double between : {tFirst + 0.5 * step, tFirst + 1.5 * step}) {
      const Point2 p = curvePoint(segment, between);
      const double px = p.x - first.x, py = p.y - first.y;
      double d = 0.0;
      if (std::fabs(cross) <= 1e-12 * (ax * ax + ay * ay + bx * bx + by * by)) {
        d = chord > 0.0 ? std::fabs(bx * py - by * px) / chord : std::sqrt(px * px + py * py);
      } else {
        const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
        const double cx = (by * a2 - ay * b2) / (2.0 * cross);
        const double cy = (ax * b2 - bx * a2) / (2.0 * cross);
        const double radius = std::sqrt(cx * cx + cy * cy);
        // The centre on the middle sample's side of the chord: the arc
        // through the samples goes the long way round; more than twice as
        // far as the samples' polyline, it folds back (as foldsBack says).
        if ((bx * cy - by * cx) * cross < 0.0) {
          const double turn =
              2.0 * std::numbers::pi - 2.0 * std::asin(std::min(1.0, chord / (2.0 * radius)));
          const double polyline = std::sqrt(a2) + distance(middle, last);
          if (radius * turn > 2.0 * polyline) return;
        }
        d = std::fabs(std::sqrt((px - cx) * (px - cx) + (py - cy) * (py - cy)) - radius);
      }
      largest = std::max(largest, d);
    }
  });
  return largest;
}

}  // namespace brevanto
