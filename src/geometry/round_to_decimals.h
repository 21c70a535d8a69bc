#pragma once

#include <algorithm>
#include <array>
#include <cmath>

namespace brevanto {

// 10^d for d = 0 to 8, from a table rather than pow() so that every build
// scales by exactly the same double.
inline constexpr std::array<double, 9> kPowersOfTen = {
    1.0, 10.0, 100.0, 1000.0, 10000.0, 100000.0, 1000000.0, 10000000.0, 100000000.0};

// Rounds half up to `decimals` places (0 to 8; other values are held to that
// range): floor(x * 10^d + 0.5) / 10^d in double precision.
inline double RoundToDecimals(double x, int decimals) {
  const double scale = kPowersOfTen[static_cast<size_t>(std::clamp(decimals, 0, 8))];
  return std::floor(x * scale + 0.5) / scale;
}

}  // namespace brevanto
