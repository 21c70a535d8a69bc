#pragma once

#include <vector>

#include "geometry/path_curve.h"

namespace brevanto {

// The lobes of a closed loop that crosses itself, when they turn opposite
// ways: a figure eight, a bow-tie. Their signed areas cancel, so the loop's
// own area says it encloses nothing, while a renderer fills every lobe (each
// is wound once, one way or the other, so both fill rules agree). Each
// lobe is a closed loop of its own, in the loop's direction of travel, cut
// from the loop at the crossings (at each one, travel turns onto the other
// strand instead of crossing it).
//
// Returns the loop itself, alone, when it does not cross itself or all its
// lobes turn the same way (a loop wound twice round, a star: its own area
// has the right sign), or when it has more curves than are worth searching
// pair by pair.
std::vector<std::vector<PathCurve>> loopLobes(const std::vector<PathCurve>& loop);

// The signed area of a closed loop, positive counter-clockwise.
double loopArea(const std::vector<PathCurve>& loop);

}  // namespace brevanto
