#pragma once

#include <cmath>

#include "geometry/path_element.h"

namespace brevanto {

// Two-decimal rounding of a start or end point: closure is judged by
// hundredths, not by distance.
inline float roundToHundredths(double value) {
  return static_cast<float>(std::floor(value * 100.0 + 0.5) / 100.0);
}

// A shape is closed when its last end point rounds to the same hundredths as
// its first start point; the writer then keeps the tool down between passes.
inline bool closesOnItself(const PathElement& first, const PathElement& last) {
  return roundToHundredths(last.endX) == roundToHundredths(first.startX) &&
         roundToHundredths(last.endY) == roundToHundredths(first.startY);
}

}  // namespace brevanto
