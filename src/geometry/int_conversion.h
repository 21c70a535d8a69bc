#pragma once

#include <cstdint>

namespace brevanto {

// Truncation toward zero to a 32-bit int, with the x86 answer for values that
// do not fit (NaN, infinities, |v| >= 2^31): INT32_MIN. A plain cast would be
// undefined behaviour there; this keeps the result defined and the same on
// every compiler, and a curve length that does not fit gives a negative count.
constexpr int32_t truncateToInt32(double value) {
  if (value > -2147483649.0 && value < 2147483648.0) return static_cast<int32_t>(value);
  return INT32_MIN;
}

}  // namespace brevanto
