#pragma once

#include <cstdint>

#include "geometry/path_element.h"

namespace brevanto {

// One application of line joining over `*count` elements closed by an
// all-zero element; see JoiningPass for the protocol. `precision` is the
// job's "Prezision" setting: lines whose directions differ by at most
// precision / 10 degrees (0.3 when that is 0) are joined.
int32_t LineMerge(const PathElement* input, PathElement* output, const int32_t* count,
                  double precision);

}  // namespace brevanto
