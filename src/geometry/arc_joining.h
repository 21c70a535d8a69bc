#pragma once

#include <cstdint>

#include "geometry/path_element.h"

namespace brevanto {

// One application of arc joining over `*count` elements closed by an all-zero
// element; see JoiningPass for the protocol. `precision` is the job's
// "Prezision" setting: the limits are precision / 100 in single precision
// (0.03 when that is 0), times 10 for the junction angle, centre distance and
// radius band and times 3 for a short arc.
int32_t ArcMerge(const PathElement* input, PathElement* output, const int32_t* count,
                 double precision);

}  // namespace brevanto
