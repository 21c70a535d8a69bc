// A piece of a path or a drawing: where it is, how long, how far from a point.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "report/piece_tree.h"

namespace brevanto::cli {
namespace {

constexpr double kTurn = 2.0 * std::numbers::pi;

// sqrt of the sum of squares: hypot's care for overflow costs half the
// running time here, and drawing coordinates are far from overflowing.
double length(double dx, double dy) {
  return std::sqrt(dx * dx + dy * dy);
}

double distanceToLine(PlanePoint p, PlanePoint a, PlanePoint b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double ll = dx * dx + dy * dy;
  const double t =
      ll == 0.0 ? 0.0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / ll, 0.0, 1.0);
  return length(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

PlanePoint cubicAt(const PlanePoint* q, double t) {
  const double u = 1.0 - t;
  const double a = u * u * u, b = 3.0 * u * u * t, c = 3.0 * u * t * t, d = t * t * t;
  return {a * q[0].x + b * q[1].x + c * q[2].x + d * q[3].x,
          a * q[0].y + b * q[1].y + c * q[2].y + d * q[3].y};
}

// The squared distance from q to the cubic. It is sampled at nine
// parameters; next to each sample nearer than its neighbours, the minimum
// lies where g(t) = (B(t) - q) . B'(t), half the derivative of the squared
// distance, turns from negative to positive, on the side g points to. That
// root is found by Newton's method kept inside the interval: a step that
// would leave it, or a curvature term that makes the slope non-positive,
// bisects instead (near an end where the curve slows down, a plain Newton
// step from the nearest sample runs the wrong way). A piece whose control
// polygon turns little (see drawingPieces) has one minimum near each such
// sample at most.
double cubicDistanceSquared(const PlanePoint* c, PlanePoint q) {
  struct Probe {
    double d2, g, slope;
  };
  const auto probe = [c, q](double t) {
    const double u = 1.0 - t;
    const PlanePoint b = cubicAt(c, t);
    const double d1x =
        3 * (u * u * (c[1].x - c[0].x) + 2 * u * t * (c[2].x - c[1].x) + t * t * (c[3].x - c[2].x));
    const double d1y =
        3 * (u * u * (c[1].y - c[0].y) + 2 * u * t * (c[2].y - c[1].y) + t * t * (c[3].y - c[2].y));
    const double d2x =
        6 * (u * (c[2].x - 2 * c[1].x + c[0].x) + t * (c[3].x - 2 * c[2].x + c[1].x));
    const double d2y =
        6 * (u * (c[2].y - 2 * c[1].y + c[0].y) + t * (c[3].y - 2 * c[2].y + c[1].y));
    const double ex = b.x - q.x, ey = b.y - q.y;
    return Probe{ex * ex + ey * ey, ex * d1x + ey * d1y,
                 d1x * d1x + d1y * d1y + ex * d2x + ey * d2y};
  };
  constexpr int kIntervals = 8;
  double sampled[kIntervals + 1];
  double best = HUGE_VAL;
  for (int i = 0; i <= kIntervals; ++i) {
    const PlanePoint b = cubicAt(c, static_cast<double>(i) / kIntervals);
    sampled[i] = (b.x - q.x) * (b.x - q.x) + (b.y - q.y) * (b.y - q.y);
    best = std::min(best, sampled[i]);
  }
  for (int i = 0; i <= kIntervals; ++i) {
    if ((i > 0 && sampled[i] > sampled[i - 1]) || (i < kIntervals && sampled[i] > sampled[i + 1])) {
      continue;
    }
    double t = static_cast<double>(i) / kIntervals;
    Probe at = probe(t);
    double lo = t, hi = t;
    if (at.g < 0.0 && i < kIntervals) {
      hi = static_cast<double>(i + 1) / kIntervals;
    } else if (at.g > 0.0 && i > 0) {
      lo = static_cast<double>(i - 1) / kIntervals;
    } else if (at.g == 0.0 && (i == 0 || i == kIntervals)) {
      // An end where the curve stands still (a control point on its end
      // point): the slope says nothing there, and the nearest point may lie
      // in the interval beside it.
      (i == 0 ? hi : lo) = static_cast<double>(i == 0 ? 1 : kIntervals - 1) / kIntervals;
    } else {
      continue;
    }
    for (int step = 0; step < 40 && hi - lo > 1e-12; ++step) {
      double stepTo = at.slope > 0.0 ? t - at.g / at.slope : lo - 1.0;
      if (!(stepTo > lo && stepTo < hi)) stepTo = (lo + hi) * 0.5;
      const bool settled = std::fabs(stepTo - t) < 1e-12;
      t = stepTo;
      at = probe(t);
      best = std::min(best, at.d2);
      if (settled || at.g == 0.0) break;
      (at.g < 0.0 ? lo : hi) = t;
    }
  }
  return best;
}

}  // namespace

Piece Piece::line(PlanePoint a, PlanePoint b, int32_t shape) {
  Piece piece;
  piece.p[0] = a;
  piece.p[1] = b;
  piece.shape = shape;
  return piece;
}

Piece Piece::move(const ProgramMove& m) {
  Piece piece = line({m.fromX, m.fromY}, {m.toX, m.toY}, m.shape);
  if (m.curved()) {
    piece.kind = Kind::Arc;
    piece.centre = {m.centreX, m.centreY};
    piece.radius = m.radius;
    piece.endRadius = m.endRadius > 0.0 && std::isfinite(m.endRadius) ? m.endRadius : m.radius;
    piece.startAngle = m.startAngle;
    piece.sweep = m.kind == ProgramMove::Kind::CounterClockwiseArc ? m.sweep : -m.sweep;
  }
  return piece;
}

PlanePoint Piece::at(double t) const {
  switch (kind) {
    case Kind::Line:
      return {p[0].x + (p[1].x - p[0].x) * t, p[0].y + (p[1].y - p[0].y) * t};
    case Kind::Arc: {
      const double angle = startAngle + sweep * t;
      const double r = radius + (endRadius - radius) * t;
      return {centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)};
    }
    case Kind::Cubic:
      return cubicAt(p, t);
  }
  return p[0];
}

double Piece::lengthBound() const {
  switch (kind) {
    case Kind::Line:
      return length(p[1].x - p[0].x, p[1].y - p[0].y);
    case Kind::Arc:
      return std::max(radius, endRadius) * std::fabs(sweep);
    case Kind::Cubic:
      return length(p[1].x - p[0].x, p[1].y - p[0].y) + length(p[2].x - p[1].x, p[2].y - p[1].y) +
             length(p[3].x - p[2].x, p[3].y - p[2].y);
  }
  return 0.0;
}

double Piece::distance(PlanePoint q) const {
  switch (kind) {
    case Kind::Line:
      return distanceToLine(q, p[0], p[1]);
    case Kind::Arc: {
      const double dx = q.x - centre.x, dy = q.y - centre.y;
      const double fromCentre = length(dx, dy);
      // Within the arc's angles the nearest point is on it, straight out
      // from the centre; elsewhere it is the nearer end.
      const double first = sweep >= 0.0 ? startAngle : startAngle + sweep;
      double within = std::fmod(std::atan2(dy, dx) - first, kTurn);
      if (within < 0.0) within += kTurn;
      if (fromCentre > 0.0 && within <= std::fabs(sweep)) {
        // The spiral's radius at that angle (from the start, which for a
        // clockwise arc is the far end of [first, first + |sweep|]).
        const double t = sweep >= 0.0 ? within / sweep : 1.0 - within / -sweep;
        return std::fabs(fromCentre - (radius + (endRadius - radius) * t));
      }
      return std::min(length(q.x - p[0].x, q.y - p[0].y), length(q.x - p[1].x, q.y - p[1].y));
    }
    case Kind::Cubic:
      return std::sqrt(cubicDistanceSquared(p, q));
  }
  return HUGE_VAL;
}

double Piece::distanceWithin(PlanePoint q, double enough) const {
  // A hair inside `enough`, so that rounding cannot make a point count as
  // near that the exact distance puts beyond it.
  constexpr double kMargin = 1e-9;
  const double within = enough - kMargin;
  if (!(within > 0.0)) return HUGE_VAL;
  switch (kind) {
    case Kind::Line:
      return HUGE_VAL;  // the exact distance costs no more
    case Kind::Arc: {
      if (std::fabs(sweep) > std::numbers::pi) return HUGE_VAL;
      // Along a spiral the radius runs from one to the other.
      const double dx = q.x - centre.x, dy = q.y - centre.y;
      const double fromCentre = length(dx, dy);
      const double radial =
          std::max(std::fabs(fromCentre - radius), std::fabs(fromCentre - endRadius));
      if (radial > within) return HUGE_VAL;
      // Within the arc's angles: on the inner side of both ends' radii.
      const double ax = p[0].x - centre.x, ay = p[0].y - centre.y;
      const double bx = p[1].x - centre.x, by = p[1].y - centre.y;
      const double side = sweep >= 0.0 ? 1.0 : -1.0;
      const bool inside = side * (ax * dy - ay * dx) > 0.0 && side * (dx * by - dy * bx) > 0.0;
      return inside ? radial : HUGE_VAL;
    }
    case Kind::Cubic: {
      // First the point of the curve at the parameter where p projects onto
      // the chord, moved by two steps of Newton's method: for a tame piece
      // near p that is close to the nearest point.
      const double limit = within * within;
      {
        const double cx = p[3].x - p[0].x, cy = p[3].y - p[0].y;
        const double cc = cx * cx + cy * cy;
        double t =
            cc > 0.0 ? std::clamp(((q.x - p[0].x) * cx + (q.y - p[0].y) * cy) / cc, 0.0, 1.0) : 0.5;
        for (int step = 0; step < 2; ++step) {
          const double u = 1.0 - t;
          const PlanePoint b = cubicAt(p, t);
          const double dx = 3 * (u * u * (p[1].x - p[0].x) + 2 * u * t * (p[2].x - p[1].x) +
                                 t * t * (p[3].x - p[2].x));
          const double dy = 3 * (u * u * (p[1].y - p[0].y) + 2 * u * t * (p[2].y - p[1].y) +
                                 t * t * (p[3].y - p[2].y));
          const double ex = b.x - q.x, ey = b.y - q.y;
          const double d2 = ex * ex + ey * ey;
          if (d2 <= limit) return std::sqrt(d2);
          const double speed = dx * dx + dy * dy;
          if (!(speed > 0.0)) break;
          t = std::clamp(t - (ex * dx + ey * dy) / speed, 0.0, 1.0);
        }
        const PlanePoint b = cubicAt(p, t);
        const double d2 = (b.x - q.x) * (b.x - q.x) + (b.y - q.y) * (b.y - q.y);
        if (d2 <= limit) return std::sqrt(d2);
      }
      // Else the nearest of nine samples, then the point of the curve at the
      // parameter where p projects onto the chords beside it.
      constexpr int kIntervals = 8;
      PlanePoint sample[kIntervals + 1];
      double best = HUGE_VAL;
      int nearest = 0;
      for (int i = 0; i <= kIntervals; ++i) {
        sample[i] = cubicAt(p, static_cast<double>(i) / kIntervals);
        const double d2 =
            (sample[i].x - q.x) * (sample[i].x - q.x) + (sample[i].y - q.y) * (sample[i].y - q.y);
        if (d2 < best) best = d2, nearest = i;
      }
      for (int i = std::max(nearest - 1, 0); i < std::min(nearest + 1, kIntervals); ++i) {
        const PlanePoint a = sample[i], b = sample[i + 1];
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double ll = dx * dx + dy * dy;
        if (ll == 0.0) continue;
        const double f = std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / ll, 0.0, 1.0);
        const PlanePoint c = cubicAt(p, (i + f) / kIntervals);
        best = std::min(best, (c.x - q.x) * (c.x - q.x) + (c.y - q.y) * (c.y - q.y));
      }
      return best <= limit ? std::sqrt(best) : HUGE_VAL;
    }
  }
  return HUGE_VAL;
}

PlaneBox Piece::box() const {
  PlaneBox b;
  b.add(p[0].x, p[0].y);
  b.add(p[1].x, p[1].y);
  if (kind == Kind::Cubic) {
    b.add(p[2].x, p[2].y);
    b.add(p[3].x, p[3].y);
  } else if (kind == Kind::Arc) {
    b.addArcExtremes(centre, std::max(radius, endRadius),
                     sweep >= 0.0 ? startAngle : startAngle + sweep, std::fabs(sweep));
  }
  return b;
}

}  // namespace brevanto::cli
