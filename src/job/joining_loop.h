#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "geometry/path_element.h"

namespace brevanto {

// A joining pass: reads `*count` elements (the last one all-zero), writes the
// joined list to `output` and returns the number of elements it holds less
// the closing zero element; -1 when the count is 0 or less. `output` may be
// `input`: a pass writes an element only where it has read everything up to
// it, so the list is joined in place and no second list is needed.
using JoiningPass =
    std::function<int32_t(const PathElement* input, PathElement* output, const int32_t* count)>;

// Applies `pass` to `elements`, in place, until an application leaves the
// number of elements unchanged, at most 499 times. Returns the number of
// applications.
int32_t runJoiningLoop(std::vector<PathElement>& elements, const JoiningPass& pass);

}  // namespace brevanto
