#include "geometry/arc_fit.h"

#include <cmath>

namespace brevanto {
namespace {

// Circles this large are straighter than the machine can tell: cut a line.
constexpr double kLineFallbackRadius = 5000.0;

// The arc length has always used 3.14; the programs depend on it through the
// joining decisions, so it stays.
constexpr double kArcLengthPi = 3.14;

// Angle rounded to hundredths of a degree and folded into (-180, 180] for the
// sweep. Angles of at most 180 degrees keep their unrounded value.
double normalisedForSweep(double angle) {
  const double rounded = std::floor(angle * 100.0 + 0.5) / 100.0;
  return rounded > 180.0 ? rounded - 360.0 : angle;
}

}  // namespace

void ArcFit(Point2 first, Point2 middle, Point2 last, PathElement& e) {
  const double ax = first.x, ay = first.y;
  const double bx = middle.x, by = middle.y;
  const double qx = last.x, qy = last.y;

  // 1. The arc runs from the first point to the last.
  e.startX = ax;
  e.startY = ay;
  e.endX = qx;
  e.endY = qy;

  // 2. Circumcentre from the perpendicular bisectors (Cramer's rule). Nothing
  //    guards det == 0: collinear points give an infinite centre (the line
  //    fallback below) or a NaN one (a degenerate element), as IEEE dictates.
  const double o = bx * bx + by * by;
  const double t1 = ((ax * ax + ay * ay) - o) * 0.5;
  const double t2 = ((o - qx * qx) - qy * qy) * 0.5;
  const double det = (by - qy) * (ax - bx) - (bx - qx) * (ay - by);
  e.centreX = ((by - qy) * t1 - (ay - by) * t2) / det;
  e.centreY = ((ax - bx) * t2 - (bx - qx) * t1) / det;
  const double dx = e.centreX - ax;
  const double dy = e.centreY - ay;
  e.radius = std::sqrt(dx * dx + dy * dy);

  // 3. Turning sense: S is minus twice the signed area of the triangle, so
  //    S >= 0 is clockwise (G02).
  const double s = (qx - bx) * (by + qy) + (bx - ax) * (ay + by) + (ax - qx) * (qy + ay);
  e.clockwise = s >= 0.0 ? 1 : 0;

  // 4. Angles; a degenerate element (NaN radius) keeps them at 0.
  e.startAngle = 0.0;
  e.endAngle = 0.0;
  computeAngles(e);

  // 5. Sweep from the difference of the folded angles' magnitudes; equal
  //    folded angles count as a whole turn.
  const double sweepStart = normalisedForSweep(e.startAngle);
  const double sweepEnd = normalisedForSweep(e.endAngle);
  const double sweep =
      sweepStart == sweepEnd ? 360.0 : std::fabs(std::fabs(sweepStart) - std::fabs(sweepEnd));

  // 6. Length along the arc and the ratio the arc joining looks at.
  e.length = ((e.radius * kArcLengthPi) * sweep) / 180.0;
  e.radiusPerLength = static_cast<float>(e.radius / e.length);

  // 7. Line fallback. A NaN radius is not greater than the limit and stays.
  if (e.radius > kLineFallbackRadius) {
    e.centreX = 0.0;
    e.centreY = 0.0;
    e.radius = 0.0;
    const double lx = qx - ax;
    const double ly = qy - ay;
    e.length = std::sqrt(lx * lx + ly * ly);
    e.startAngle = 0.0;
    e.endAngle = 0.0;
    e.clockwise = 0;
    e.radiusPerLength = 0.0F;
  }
}

}  // namespace brevanto
