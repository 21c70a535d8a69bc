#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/path_element.h"
#include "geometry/point2.h"

namespace brevanto {

// One shape as it will be written (a drawn shape, or a stretch of its
// toolpath), with its place in the nesting.
struct CutPath {
  std::vector<PathElement> elements;
  int32_t node = -1;  // the closed shape it belongs to, -1 for an open shape
};

struct CutOrderResult {
  std::vector<size_t> order;         // indices into the paths, in cutting order
  std::vector<size_t> firstElement;  // per path: the element it now starts with
  double rapidLengthBefore = 0.0;    // list order, from X0 Y0
  double rapidLengthAfter = 0.0;
};

// Inside first: every open path first, then every closed node's paths after
// all paths of the nodes inside it (`parent` per node, -1 for none). Within
// what that leaves free, greedy nearest neighbour: the next path is the one
// whose start lies nearest to where the tool stands, found with a grid of the
// starts still free. A closed path may start at the start of any of its
// elements that follows on from the element before it (by the writer's
// hundredths); a full circle keeps its start.
CutOrderResult orderInsideFirst(const std::vector<CutPath>& paths,
                                const std::vector<int32_t>& parent);

// Rapid travel in the plane from X0 Y0 to each path's start in turn and from
// each path's end, for paths taken in `order` starting at `firstElement`.
double rapidLength(const std::vector<CutPath>& paths, const std::vector<size_t>& order,
                   const std::vector<size_t>& firstElement);

// The path's elements from `first` on, then those before it.
void rotateToStart(std::vector<PathElement>& elements, size_t first);

}  // namespace brevanto
