#include "curve_length.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "brevanto/host.h"

namespace brevanto::cli {
namespace {

struct Cubic {
  std::array<double, 4> x;
  std::array<double, 4> y;
  int depth;
};

// The square root of the sum of squares: hypot's care against overflow
// costs more than the rest of the measure, and drawing coordinates are far
// from overflowing.
double distance(double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  return std::sqrt(dx * dx + dy * dy);
}

double polygonLength(const Cubic& c) {
  return distance(c.x[0], c.y[0], c.x[1], c.y[1]) + distance(c.x[1], c.y[1], c.x[2], c.y[2]) +
         distance(c.x[2], c.y[2], c.x[3], c.y[3]);
}

// de Casteljau at t = 1/2.
void split(const Cubic& c, Cubic& left, Cubic& right) {
  auto halve = [](const std::array<double, 4>& p, std::array<double, 4>& l,
                  std::array<double, 4>& r) {
    const double p01 = (p[0] + p[1]) * 0.5;
    const double p12 = (p[1] + p[2]) * 0.5;
    const double p23 = (p[2] + p[3]) * 0.5;
    const double p012 = (p01 + p12) * 0.5;
    const double p123 = (p12 + p23) * 0.5;
    const double mid = (p012 + p123) * 0.5;
    l = {p[0], p01, p012, mid};
    r = {mid, p123, p23, p[3]};
  };
  halve(c.x, left.x, right.x);
  halve(c.y, left.y, right.y);
  left.depth = right.depth = c.depth + 1;
}

constexpr int kMaxDepth = 40;

// Splits `c`, whose polygon is `polygon` long, until each piece's polygon
// is within its share of the allowance of its chord (which bracket the
// piece's arc), and tells `leaf` each piece's chord and polygon, the left
// half before the right, so that sums run in the order along the curve.
// Recursion instead of a list of pending pieces: a curve of a drawing is
// split some eighty times, and the list's allocations and copies cost more
// than the measure itself.
template <typename Leaf>
void forEachPiece(const Cubic& c, double polygon, double allowancePerUnit, Leaf& leaf) {
  const double chord = distance(c.x[0], c.y[0], c.x[3], c.y[3]);
  if (polygon - chord <= allowancePerUnit * polygon || c.depth >= kMaxDepth) {
    leaf(chord, polygon);
    return;
  }
  Cubic left{};
  Cubic right{};
  split(c, left, right);
  forEachPiece(left, polygonLength(left), allowancePerUnit, leaf);
  forEachPiece(right, polygonLength(right), allowancePerUnit, leaf);
}

// The sums of the pieces' chords and polygons, between which the arc's
// length lies.
struct Bounds {
  double chords = 0.0;
  double polygons = 0.0;
};

// A length from bounds that are close enough: within a tenth of a millimetre
// or 1 %, and deciding the curve's samples (sameCurveSampling). The bounds
// hold every finer measure, cubicLength's included, since splitting never
// shortens the chords nor lengthens the polygons; the margin covers the
// rounding of their sums.
std::optional<float> settled(const Bounds& b) {
  constexpr double kMargin = 1e-12;
  const double gap = b.polygons - b.chords;
  if (!(gap <= std::max(0.1, 0.01 * b.polygons))) return std::nullopt;
  const auto shorter = static_cast<float>(b.chords * (1.0 - kMargin));
  const auto longer = static_cast<float>(b.polygons * (1.0 + kMargin));
  if (!sameCurveSampling(shorter, longer)) return std::nullopt;
  return static_cast<float>((b.chords + b.polygons) * 0.5);
}

}  // namespace

float curveRecordLength(const Segment& s) {
  const Cubic whole{{s.x0, s.x1, s.x2, s.x3}, {s.y0, s.y1, s.y2, s.y3}, 0};
  const double total = polygonLength(whole);
  if (std::isfinite(total) && total > 0.0) {
    const Bounds coarsest{distance(s.x0, s.y0, s.x3, s.y3), total};
    if (const auto length = settled(coarsest)) return *length;
    Bounds finer;
    auto add = [&finer](double chord, double polygon) {
      finer.chords += chord;
      finer.polygons += polygon;
    };
    forEachPiece(whole, total, 2.0 * std::max(0.05, 0.005 * total) / total, add);
    if (const auto length = settled(finer)) return *length;
  }
  return static_cast<float>(cubicLength(s));
}

double lineLength(const Segment& s) {
  return distance(s.x0, s.y0, s.x3, s.y3);
}

// The arc length lies between chord and polygon length; their mean is off by
// at most half their gap. Each piece may use a share of the tolerance in
// proportion to its polygon length, and since splitting never lengthens the
// polygon, the shares add up to at most the whole tolerance.
double cubicLength(const Segment& s, double tolerance) {
  const Cubic whole{{s.x0, s.x1, s.x2, s.x3}, {s.y0, s.y1, s.y2, s.y3}, 0};
  const double total = polygonLength(whole);
  if (!std::isfinite(total)) return total;
  if (total == 0.0) return 0.0;
  double length = 0.0;
  auto add = [&length](double chord, double polygon) { length += (polygon + chord) * 0.5; };
  forEachPiece(whole, total, 2.0 * tolerance / total, add);
  return length;
}

}  // namespace brevanto::cli
