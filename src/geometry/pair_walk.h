#pragma once

#include <cstdint>

#include "geometry/path_element.h"

namespace brevanto {

// What a joining pass makes of two neighbours A, B.
enum class PairOutcome {
  CopyFirst,  // not a candidate: copy A, look at B again as the next A
  CopyBoth,   // a candidate that does not join: copy both, move on by two
  Joined,     // the joined element has been written to the output slot
};

// The walk that both joining passes share. `count` input elements, the last
// one the all-zero element that closes the list; the output gets elements 0
// to k - 1 and the result is k - 1 (-1 for a count of 0 or less, with nothing
// written). Pairs are formed from the front, (0, 1), (2, 3), ..., and every
// single copy shifts the pairing by one. The last element has no successor
// and is copied as it is.
//
// decide(a, b, bIsLast, slot) returns the outcome and, for Joined, has
// written the joined element to `slot` (all zero before). One linear walk;
// no allocation. The output may be the input: element k is written only
// after element k has been read, and the joined element is made aside
// because `decide` reads A after writing it.
template <typename Decide>
int32_t walkPairs(const PathElement* input, PathElement* output, int32_t count, Decide&& decide) {
  if (count <= 0) return -1;
  int32_t k = 0;
  int32_t i = 0;
  while (i < count) {
    if (i == count - 1) {
      output[k++] = input[i++];
      continue;
    }
    const PathElement& a = input[i];
    const PathElement& b = input[i + 1];
    PathElement joined{};
    switch (decide(a, b, i + 1 == count - 1, joined)) {
      case PairOutcome::CopyFirst:
        output[k++] = a;
        i += 1;
        break;
      case PairOutcome::CopyBoth:
        output[k++] = a;
        output[k++] = b;
        i += 2;
        break;
      case PairOutcome::Joined:
        output[k++] = joined;
        i += 2;
        break;
    }
  }
  return k - 1;
}

}  // namespace brevanto
