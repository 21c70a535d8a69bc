#pragma once

#include <cmath>
#include <compare>

namespace brevanto::cli {

// A 2-D affine map in SVG's order: x' = a·x + c·y + e, y' = b·x + d·y + f.
struct Affine {
  double a = 1.0, b = 0.0, c = 0.0, d = 1.0, e = 0.0, f = 0.0;

  auto operator<=>(const Affine&) const = default;

  // This map applied after `inner`: (this ∘ inner)(p) = this(inner(p)).
  [[nodiscard]] Affine after(const Affine& inner) const {
    return {a * inner.a + c * inner.b,     b * inner.a + d * inner.b,
            a * inner.c + c * inner.d,     b * inner.c + d * inner.d,
            a * inner.e + c * inner.f + e, b * inner.e + d * inner.f + f};
  }
  [[nodiscard]] double mapX(double x, double y) const { return a * x + c * y + e; }
  [[nodiscard]] double mapY(double x, double y) const { return b * x + d * y + f; }

  // The map that undoes this one; not finite when this one is singular.
  [[nodiscard]] Affine inverse() const {
    const double det = a * d - b * c;
    return {d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
  }

  static Affine translation(double tx, double ty) { return {1.0, 0.0, 0.0, 1.0, tx, ty}; }
  static Affine scaling(double sx, double sy) { return {sx, 0.0, 0.0, sy, 0.0, 0.0}; }
  static Affine rotation(double radians) {
    const double cosA = std::cos(radians), sinA = std::sin(radians);
    return {cosA, sinA, -sinA, cosA, 0.0, 0.0};
  }
};

}  // namespace brevanto::cli
