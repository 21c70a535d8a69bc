#pragma once

#include <cstdint>

namespace brevanto {

// One straight line or circular arc of the tool path: the record that every
// stage after the intake reads and writes. radius == 0 marks a line,
// radius > 0 an arc; a NaN radius marks a degenerate element that is neither
// (it is never joined and is cut as a straight move). The all-zero record is
// a valid value and closes the input of the joining passes.
struct PathElement {
  double startX = 0.0;
  double startY = 0.0;
  double endX = 0.0;
  double endY = 0.0;
  double centreX = 0.0;
  double centreY = 0.0;
  double radius = 0.0;
  double length = 0.0;      // along the path
  double startAngle = 0.0;  // degrees about the centre, from +x towards -y
  double endAngle = 0.0;
  int32_t clockwise = 0;  // 1 = G02 sense, 0 = G03 sense
  float radiusPerLength = 0.0F;
  int32_t shapeKey = 0;
  int32_t colourIndex = 0;
};

// Sets startAngle and endAngle from the start and end point, centre and
// radius. Leaves both angles untouched when the radius is not above 0.
void computeAngles(PathElement& element);

// A full circle runs from its leftmost point round to it again (the arc
// joining marks it with equal end points and both angles at exactly 180); it
// is cut as two half circles.
bool isFullCircle(const PathElement& element);

// The full circle about (centreX, centreY) in the form isFullCircle knows:
// start and end at the leftmost point, both angles 180.
PathElement fullCircleElement(double centreX, double centreY, double radius, int32_t clockwise);

// In R-format G-code a positive R means the shorter of the two arcs between
// the end points, so an arc of more than 180 degrees needs a negative R. The
// turn from the start radius to the end radius is clockwise (negative cross
// product) for a short G02 arc and counter-clockwise for a short G03 arc.
bool sweepsMoreThanHalf(const PathElement& element);

// The angle an arc turns through from its start to its end about its centre,
// in its turning sense: in (0, 2π] radians (equal ends: a whole turn). This
// is the geometry, not the `length` of the record, which uses its own rule.
double turnRadians(const PathElement& element);

// Whether an arc through the three points first, middle, last (as ArcFit
// made it) folds back: it runs the long way round, and more than twice as
// far as the way from first to middle and on to last (given as its two
// parts: the straight distances between samples, or the arcs being joined). Three samples of a
// curve that hooks back lie on a large circle whose arc through them goes nearly all the way round,
// far from the curve, which itself only turns back within a short stretch; such an arc must not be
// cut. A sound arc through three samples is at most about 1.7 times as long as the polyline, even
// over 300 degrees.
bool foldsBack(const PathElement& arc, double firstMiddle, double middleLast);

}  // namespace brevanto
