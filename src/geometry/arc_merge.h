#pragma once

#include <cstdint>

#include "geometry/path_element.h"

namespace brevanto {

// One application of arc joining over `*count` elements closed by an all-zero
// element; see JoiningPass for the protocol.
int32_t ArcMerge(const PathElement* input, PathElement* output, const int32_t* count);

}  // namespace brevanto
