#include "geometry/path_curve.h"

#include <algorithm>
#include <cmath>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 2.0 * kPi;

// The R word places an arc's centre from its chord; below this chord (mm) the
// four-decimal end points leave the centre's side to chance, and the arc is
// cut as a line. Its sagitta is at most chord^2 / (8 radius).
constexpr double kShortestArcChord = 0.002;

// At most this sweep per written arc (radians): 120 degrees.
constexpr double kLongestWrittenSweep = kTwoPi / 3.0;

// The angle a in [0, 2 pi).
double wrapTurn(double a) {
  double w = std::fmod(a, kTwoPi);
  if (w < 0.0) w += kTwoPi;
  return w >= kTwoPi ? 0.0 : w;
}

double angleOf(Point2 centre, Point2 p) {
  return std::atan2(p.y - centre.y, p.x - centre.x);
}

}  // namespace

// Coordinates are drawing sizes: the plain root of the squares cannot
// overflow, and it is several times faster than hypot.
double distance(Point2 a, Point2 b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  return std::sqrt(dx * dx + dy * dy);
}

PathCurve lineCurve(Point2 a, Point2 b, int32_t source) {
  PathCurve c;
  c.start = a;
  c.end = b;
  c.source = source;
  return c;
}

PathCurve arcCurve(Point2 centre, Point2 from, Point2 to, double sweep, int32_t source) {
  PathCurve c;
  c.start = from;
  c.end = to;
  c.centre = centre;
  c.radius = distance(centre, from);
  c.startAngle = angleOf(centre, from);
  c.sweep = sweep;
  c.source = source;
  return c;
}

PathCurve curveOf(const PathElement& e, int32_t source) {
  const Point2 start{e.startX, e.startY};
  const Point2 end{e.endX, e.endY};
  if (!(e.radius > 0.0)) return lineCurve(start, end, source);
  const Point2 centre{e.centreX, e.centreY};
  PathCurve c;
  c.start = start;
  c.end = end;
  c.centre = centre;
  c.radius = e.radius;
  c.startAngle = angleOf(centre, start);
  c.source = source;
  const double endAngle = angleOf(centre, end);
  if (isFullCircle(e)) {
    c.sweep = e.clockwise == 1 ? -kTwoPi : kTwoPi;
  } else if (e.clockwise == 1) {
    c.sweep = -wrapTurn(c.startAngle - endAngle);
  } else {
    c.sweep = wrapTurn(endAngle - c.startAngle);
  }
  return c;
}

Point2 pointAt(const PathCurve& c, double t) {
  if (t <= 0.0) return c.start;
  if (t >= 1.0) return c.end;
  if (!c.isArc())
    return {c.start.x + (c.end.x - c.start.x) * t, c.start.y + (c.end.y - c.start.y) * t};
  const double a = c.startAngle + c.sweep * t;
  return {c.centre.x + c.radius * std::cos(a), c.centre.y + c.radius * std::sin(a)};
}

Point2 directionAt(const PathCurve& c, double t) {
  if (!c.isArc()) {
    const double len = distance(c.start, c.end);
    if (!(len > 0.0)) return {0.0, 0.0};
    return {(c.end.x - c.start.x) / len, (c.end.y - c.start.y) / len};
  }
  // The tangent of a circle is the radius direction turned by a quarter turn
  // in the sense of travel.
  const double a = c.startAngle + c.sweep * std::clamp(t, 0.0, 1.0);
  const double s = c.sweep < 0.0 ? -1.0 : 1.0;
  return {-std::sin(a) * s, std::cos(a) * s};
}

double curveLength(const PathCurve& c) {
  return c.isArc() ? c.radius * std::fabs(c.sweep) : distance(c.start, c.end);
}

PathCurve subCurve(const PathCurve& c, double t0, double t1) {
  PathCurve s = c;
  s.start = pointAt(c, t0);
  s.end = pointAt(c, t1);
  if (c.isArc()) {
    s.startAngle = c.startAngle + c.sweep * t0;
    s.sweep = c.sweep * (t1 - t0);
  }
  return s;
}

double distanceTo(const PathCurve& c, Point2 p) {
  if (!c.isArc()) {
    const double dx = c.end.x - c.start.x;
    const double dy = c.end.y - c.start.y;
    const double ll = dx * dx + dy * dy;
    double t = ll > 0.0 ? ((p.x - c.start.x) * dx + (p.y - c.start.y) * dy) / ll : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return distance(p, {c.start.x + t * dx, c.start.y + t * dy});
  }
  // Within the arc's angular range the nearest point lies on the ray from the
  // centre through p; outside it, at one of the ends.
  const double fromCentre = distance(c.centre, p);
  if (fromCentre > 0.0) {
    const double a = angleOf(c.centre, p);
    const double into = c.sweep >= 0.0 ? wrapTurn(a - c.startAngle) : wrapTurn(c.startAngle - a);
    if (into <= std::fabs(c.sweep)) return std::fabs(fromCentre - c.radius);
  } else {
    return c.radius;
  }
  return std::min(distance(c.start, p), distance(c.end, p));
}

double signedAreaShare(const PathCurve& c) {
  const double chord = c.start.x * c.end.y - c.end.x * c.start.y;
  if (!c.isArc()) return 0.5 * chord;
  // x = cx + r cos a, y = cy + r sin a: x dy - y dx integrates to
  // cx (y1 - y0) - cy (x1 - x0) + r^2 * sweep.
  return 0.5 * (c.centre.x * (c.end.y - c.start.y) - c.centre.y * (c.end.x - c.start.x) +
                c.radius * c.radius * c.sweep);
}

namespace {

PathElement lineElementOf(Point2 a, Point2 b) {
  PathElement e;
  e.startX = a.x;
  e.startY = a.y;
  e.endX = b.x;
  e.endY = b.y;
  e.length = distance(a, b);
  return e;
}

PathElement arcElementOf(const PathCurve& c) {
  PathElement e;
  e.startX = c.start.x;
  e.startY = c.start.y;
  e.endX = c.end.x;
  e.endY = c.end.y;
  e.centreX = c.centre.x;
  e.centreY = c.centre.y;
  e.radius = c.radius;
  e.clockwise = c.sweep < 0.0 ? 1 : 0;
  computeAngles(e);
  e.length = curveLength(c);
  e.radiusPerLength = static_cast<float>(e.radius / e.length);
  return e;
}

}  // namespace

void appendElements(const PathCurve& c, int32_t shapeKey, int32_t colourIndex,
                    std::vector<PathElement>& out) {
  const size_t first = out.size();
  if (!c.isArc()) {
    out.push_back(lineElementOf(c.start, c.end));
  } else if (std::fabs(c.sweep) >= kTwoPi - 1e-12 && distance(c.start, c.end) < 1e-9) {
    // The writer cuts a full circle as two half circles in R form, where the
    // centre's distance from the chord is sqrt(R^2 - chord^2 / 4): rounding
    // the ends and R to 0.0001 each could move it by 0.02 mm. With centre
    // and radius on the program's grid the chord is exactly 2 R.
    const auto onGrid = [](double v) { return std::round(v * 10000.0) / 10000.0; };
    const double radius = onGrid(c.radius);
    if (radius > 0.0) {
      out.push_back(
          fullCircleElement(onGrid(c.centre.x), onGrid(c.centre.y), radius, c.sweep < 0.0 ? 1 : 0));
    }
  } else {
    const auto pieces = static_cast<int>(std::ceil(std::fabs(c.sweep) / kLongestWrittenSweep));
    for (int i = 0; i < std::max(pieces, 1); ++i) {
      const PathCurve piece =
          pieces <= 1 ? c : subCurve(c, double(i) / pieces, double(i + 1) / pieces);
      if (distance(piece.start, piece.end) < kShortestArcChord) {
        out.push_back(lineElementOf(piece.start, piece.end));
      } else {
        out.push_back(arcElementOf(piece));
      }
    }
  }
  for (size_t i = first; i < out.size(); ++i) {
    out[i].shapeKey = shapeKey;
    out[i].colourIndex = colourIndex;
  }
}

// The points where the line or circle of curve a crosses that of curve b
// (none, one or two; tangency counts as one); returns how many.
int crossings(const PathCurve& a, const PathCurve& b, Point2 (&out)[2]) {
  if (!a.isArc() && b.isArc()) return crossings(b, a, out);
  if (!a.isArc()) {
    // Two lines: start + s (end - start).
    const Point2 u{a.end.x - a.start.x, a.end.y - a.start.y};
    const Point2 v{b.end.x - b.start.x, b.end.y - b.start.y};
    const double det = u.x * v.y - u.y * v.x;
    if (!(std::fabs(det) > 0.0)) return 0;
    const double s = ((b.start.x - a.start.x) * v.y - (b.start.y - a.start.y) * v.x) / det;
    out[0] = {a.start.x + s * u.x, a.start.y + s * u.y};
    return std::isfinite(out[0].x) && std::isfinite(out[0].y) ? 1 : 0;
  }
  // a is a circle. Along the line of b (a line), or along the common chord
  // of two circles: the foot f of the perpendicular from a's centre, at
  // distance h from it, and the points +-sqrt(r^2 - h^2) along the direction w.
  Point2 f;
  Point2 w;
  if (!b.isArc()) {
    const double len = distance(b.start, b.end);
    if (!(len > 0.0)) return 0;
    w = {(b.end.x - b.start.x) / len, (b.end.y - b.start.y) / len};
    const double along = (a.centre.x - b.start.x) * w.x + (a.centre.y - b.start.y) * w.y;
    f = {b.start.x + along * w.x, b.start.y + along * w.y};
  } else {
    const double d = distance(a.centre, b.centre);
    if (!(d > 0.0)) return 0;
    const Point2 n{(b.centre.x - a.centre.x) / d, (b.centre.y - a.centre.y) / d};
    const double along = (d * d + a.radius * a.radius - b.radius * b.radius) / (2.0 * d);
    f = {a.centre.x + along * n.x, a.centre.y + along * n.y};
    w = {-n.y, n.x};
  }
  const double h = distance(a.centre, f);
  const double square = a.radius * a.radius - h * h;
  if (!(square >= 0.0)) return 0;
  const double half = std::sqrt(square);
  out[0] = {f.x - half * w.x, f.y - half * w.y};
  out[1] = {f.x + half * w.x, f.y + half * w.y};
  return half > 0.0 ? 2 : 1;
}

// The parameter at which a point on the curve's line or circle lies: beyond
// [0, 1] when it is off the curve itself.
CurveParameter parameterOf(const PathCurve& c, Point2 p) {
  if (!c.isArc()) {
    const double dx = c.end.x - c.start.x;
    const double dy = c.end.y - c.start.y;
    const double ll = dx * dx + dy * dy;
    return {ll > 0.0 ? ((p.x - c.start.x) * dx + (p.y - c.start.y) * dy) / ll : -1.0};
  }
  if (!(std::fabs(c.sweep) > 0.0)) return {-1.0};
  double into = std::atan2(p.y - c.centre.y, p.x - c.centre.x) - c.startAngle;
  if (c.sweep < 0.0) into = -into;
  into = std::fmod(into, kTwoPi);
  if (into < 0.0) into += kTwoPi;
  return {into / std::fabs(c.sweep)};
}

}  // namespace brevanto
