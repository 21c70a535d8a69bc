#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace brevanto::cli::dxf {

struct Point {
  double x = 0.0, y = 0.0;
};

// x' = a x + b y + e, y' = c x + d y + f.
struct Affine {
  double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;

  [[nodiscard]] Point apply(Point p) const {
    return {a * p.x + b * p.y + e, c * p.x + d * p.y + f};
  }
  // This map after `inner`.
  [[nodiscard]] Affine after(const Affine& inner) const {
    return {a * inner.a + b * inner.c,     a * inner.b + b * inner.d,
            c * inner.a + d * inner.c,     c * inner.b + d * inner.d,
            a * inner.e + b * inner.f + e, c * inner.e + d * inner.f + f};
  }
  // Rotation, uniform scale and mirroring only: circles stay circles.
  [[nodiscard]] bool similar() const {
    const double p = a * a + c * c, q = b * b + d * d, r = a * b + c * d;
    return p > 0.0 && std::fabs(p - q) <= 1e-12 * p && std::fabs(r) <= 1e-12 * p;
  }
  // How much the map stretches a length at most (for tolerances).
  [[nodiscard]] double stretch() const {
    return std::max(std::hypot(a, c), std::hypot(b, d)) + 1e-300;
  }
  [[nodiscard]] static Affine scaled(double s) { return {s, 0.0, 0.0, s, 0.0, 0.0}; }
};

// A line (p0 to p3) or a cubic. `arc` marks a cubic that stands for a
// circular arc of at most 45 degrees with symmetric handles: its middle lies
// on the circle, so the job's arc through its ends and middle is the circle.
struct Piece {
  Point p0, p1, p2, p3;
  bool cubic = false;
  bool arc = false;
  int64_t run = 0;  // pieces of one arc (or one entity) share it
};

// What an entity's outline reports when it would make more pieces than it
// was allowed: the drawing's budget is spent.
inline constexpr const char* kTooManyPieces = "more pieces than the drawing may make";

// What one entity draws, in millimetres once mapped.
struct Outline {
  std::vector<Piece> pieces;
  bool closed = false;  // ends where it starts by construction (a circle, a closed polyline)
  int32_t layer = 0;
  int32_t rgb = 0;
  int32_t line = 0;  // the entity's line (or the outermost INSERT's)
};

// Cubics of at most 45 degrees each along the circle about (cx, cy) of
// radius r, from angle `from` turning by `sweep` (radians, positive
// counter-clockwise); appended to `out` with arc set.
void appendArc(double cx, double cy, double r, double from, double sweep, int64_t run,
               std::vector<Piece>& out);

// Every point of the pieces through the map; arcs stay marked only where
// the map keeps circles round.
void mapPieces(std::vector<Piece>& pieces, const Affine& map);

}  // namespace brevanto::cli::dxf
