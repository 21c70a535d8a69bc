#pragma once

#include <cstdint>
#include <vector>

#include "geometry/path_element.h"
#include "geometry/point2.h"

namespace brevanto {

// A line or circular arc in the form the cut-out stages compute with: an arc
// by its centre, radius, start angle and signed sweep (radians, counter-
// clockwise positive, the usual mathematical sense with y up), so that it can
// be evaluated and cut at any parameter t in [0, 1]. radius == 0 is a line.
struct PathCurve {
  Point2 start;
  Point2 end;
  Point2 centre;
  double radius = 0.0;
  double startAngle = 0.0;
  double sweep = 0.0;
  int32_t source = -1;  // index of the element it was made from, -1 for none

  [[nodiscard]] bool isArc() const { return radius > 0.0; }
};

// The element as it is cut: an arc (radius > 0) with the sweep its sense and
// end points give (a full circle sweeps a whole turn), anything else, a
// degenerate element with a NaN radius included, as the straight move to its
// end point.
PathCurve curveOf(const PathElement& element, int32_t source);

PathCurve lineCurve(Point2 a, Point2 b, int32_t source = -1);

// The arc about `centre` from `from` turning by `sweep`; it ends exactly at
// `to`, which the caller puts on the same circle.
PathCurve arcCurve(Point2 centre, Point2 from, Point2 to, double sweep, int32_t source = -1);

Point2 pointAt(const PathCurve& c, double t);
// Unit direction of travel at t ((0, 0) for a line of no length).
Point2 directionAt(const PathCurve& c, double t);
double curveLength(const PathCurve& c);
// The part of the curve between the parameters t0 < t1.
PathCurve subCurve(const PathCurve& c, double t0, double t1);
// Euclidean distance from p to the nearest point of the curve.
double distanceTo(const PathCurve& c, Point2 p);
// The curve's share of a closed loop's signed area (Green's theorem: half the
// integral of x dy - y dx along it); counter-clockwise loops come out positive.
double signedAreaShare(const PathCurve& c);

// Appends the curve as path elements of the given shape and colour. An arc
// whose chord is too short for the R word to place its centre becomes a line,
// and an arc of more than 120 degrees is cut into equal arcs of at most 120,
// because the R word fixes the centre worse the nearer a sweep comes to a half
// turn. A whole turn that ends where it starts becomes the writer's full circle.
void appendElements(const PathCurve& c, int32_t shapeKey, int32_t colourIndex,
                    std::vector<PathElement>& out);

// Distance between two points.
double distance(Point2 a, Point2 b);

// The points where the line or circle of curve a crosses that of curve b
// (none, one or two; tangency counts as one); returns how many.
int crossings(const PathCurve& a, const PathCurve& b, Point2 (&out)[2]);
// The parameter at which a point on the curve's line or circle lies: beyond
// [0, 1] when it is off the curve itself. A struct, not a bare double: on
// 32-bit x86 a double result travels in the x87 unit, and a constant one is
// made there with x87 arithmetic, which the core's code never holds.
struct CurveParameter {
  double t = 0.0;
};
CurveParameter parameterOf(const PathCurve& c, Point2 p);

}  // namespace brevanto
