#include "geometry/arc_merge.h"

namespace brevanto {

// Placeholder until arc joining lands: copies its input.
int32_t ArcMerge(const PathElement* input, PathElement* output, const int32_t* count) {
  if (*count <= 0) return -1;
  for (int32_t i = 0; i < *count; ++i) output[i] = input[i];
  return *count - 1;
}

}  // namespace brevanto
