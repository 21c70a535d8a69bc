#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>

#include "geometry/path_curve.h"

namespace brevanto {

// A curve's exact geometry as bits, to find curves that are exactly alike
// (outlines drawn over one another); its source is not part of it.
struct CurveKey {
  std::array<uint64_t, 9> bits{};

  static CurveKey of(const PathCurve& c) {
    const double values[9] = {c.start.x,  c.start.y, c.end.x,      c.end.y, c.centre.x,
                              c.centre.y, c.radius,  c.startAngle, c.sweep};
    CurveKey key;
    std::memcpy(key.bits.data(), values, sizeof values);
    return key;
  }
  bool operator==(const CurveKey&) const = default;
};

struct CurveKeyHash {
  size_t operator()(const CurveKey& k) const {
    uint64_t h = 1469598103934665603ULL;  // FNV-1a over the words
    for (const uint64_t b : k.bits) h = (h ^ b) * 1099511628211ULL;
    return static_cast<size_t>(h);
  }
};

}  // namespace brevanto
