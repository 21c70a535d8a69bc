#pragma once

#include <cmath>

namespace brevanto {

// Direction in degrees, in (-90, 90], of a line running by (dx, dy), without
// its sense: a line and its reverse share one direction. An exactly vertical
// line (dx == 0) is 90.
inline double directionDegrees(double dy, double dx) {
  constexpr double kPi = 3.141592653589793;
  if (dx == 0.0) return 90.0;
  return std::atan(dy / dx) * 180.0 / kPi;
}

}  // namespace brevanto
