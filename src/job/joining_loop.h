#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/path_element.h"

namespace brevanto {

// A joining pass: reads `*count` elements (the last one all-zero), writes the
// joined list to `output` and returns the number of elements it holds less
// the closing zero element; -1 when the count is 0 or less.
using JoiningPass =
    std::function<int32_t(const PathElement* input, PathElement* output, const int32_t* count)>;

// Applies `pass` to `elements` until an application leaves the number of
// elements unchanged, at most 499 times. `outputRoom` is the number of
// records the scratch list gets beyond the input count (1 for the arc pass,
// 0 for the line pass). Returns the number of applications.
int32_t runJoiningLoop(std::vector<PathElement>& elements, std::vector<PathElement>& scratch,
                       const JoiningPass& pass, int32_t outputRoom);

}  // namespace brevanto
