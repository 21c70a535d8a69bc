#include "geometry/path_element.h"

#include <cmath>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

// asin and acos are only defined on [-1, 1]; a point a rounding error off the
// circle must still give an angle.
double clampUnit(double q) {
  return q < -1.0 ? -1.0 : (q > 1.0 ? 1.0 : q);
}

double asinDegrees(double q) {
  return std::asin(clampUnit(q)) * 180.0 / kPi;
}
double acosDegrees(double q) {
  return std::acos(clampUnit(q)) * 180.0 / kPi;
}

}  // namespace

// Angles run from +x towards -y: a point below the centre lies between 0 and
// 180 degrees, one above it between 180 and 360. acos gives the angle for the
// lower half directly and its mirror for the upper half; right of and above
// the centre asin is used instead, which is the same angle for a point on the
// circle but rounds differently, and the output depends on that choice.
void computeAngles(PathElement& e) {
  const double r = e.radius;
  if (!(r > 0.0)) return;

  const double alphaStart = asinDegrees((e.startY - e.centreY) / r);
  const double alphaEnd = asinDegrees((e.endY - e.centreY) / r);
  const double gammaStart = acosDegrees((e.startX - e.centreX) / r);
  const double gammaEnd = acosDegrees((e.endX - e.centreX) / r);

  // A single coordinate tie with the centre sets both angles to 0.
  if (e.startX == e.centreX || e.endX == e.centreX || e.startY == e.centreY ||
      e.endY == e.centreY) {
    e.startAngle = 0.0;
    e.endAngle = 0.0;
    return;
  }

  const bool startRight = e.startX > e.centreX;
  const bool endRight = e.endX > e.centreX;

  if (e.startY < e.centreY) {
    e.startAngle = gammaStart;
  } else if (e.startY > e.centreY) {
    e.startAngle = (startRight && endRight) ? 360.0 - alphaStart : 360.0 - gammaStart;
  }

  const bool startRightBelow = startRight && e.startY < e.centreY;
  if (e.endY < e.centreY) {
    e.endAngle = gammaEnd;
  } else if (e.endY > e.centreY) {
    e.endAngle = (endRight && !startRightBelow) ? 360.0 - alphaEnd : 360.0 - gammaEnd;
  }
}

bool isFullCircle(const PathElement& e) {
  return e.startX == e.endX && e.startY == e.endY && e.startAngle == e.endAngle &&
         e.startAngle == 180.0;
}

PathElement fullCircleElement(double centreX, double centreY, double radius, int32_t clockwise) {
  PathElement out;
  out.radius = radius;
  out.centreX = centreX;
  out.centreY = centreY;
  out.startX = out.centreX - out.radius;
  out.startY = out.centreY;
  out.endX = out.startX;
  out.endY = out.startY;
  out.startAngle = 180.0;
  out.endAngle = 180.0;
  out.clockwise = clockwise;
  out.length = out.radius * 2.0 * kPi;
  out.radiusPerLength = static_cast<float>(out.radius / out.length);
  return out;
}

bool sweepsMoreThanHalf(const PathElement& e) {
  const double cross =
      (e.startX - e.centreX) * (e.endY - e.centreY) - (e.startY - e.centreY) * (e.endX - e.centreX);
  return e.clockwise == 1 ? cross > 0.0 : cross < 0.0;
}

double turnRadians(const PathElement& e) {
  const double a0 = std::atan2(e.startY - e.centreY, e.startX - e.centreX);
  const double a1 = std::atan2(e.endY - e.centreY, e.endX - e.centreX);
  double turn = e.clockwise == 1 ? a0 - a1 : a1 - a0;
  turn = std::fmod(turn, 2.0 * kPi);
  if (turn <= 0.0) turn += 2.0 * kPi;
  return turn;
}

bool foldsBack(const PathElement& arc, double firstMiddle, double middleLast) {
  if (!(arc.radius > 0.0)) return false;
  const double turn = turnRadians(arc);
  return turn > kPi && arc.radius * turn > 2.0 * (firstMiddle + middleLast);
}

}  // namespace brevanto
