#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/path_curve.h"
#include "geometry/path_element.h"

namespace brevanto {

// The loop a closed shape's elements cut: each element as it is cut, with a
// straight move across any gap between two elements and from the last end
// back to the first start (the writer bridges both the same way). Curves of
// no length are left out; `source` is the element's index plus `firstIndex`,
// -1 for a bridge.
std::vector<PathCurve> shapeLoop(const PathElement* elements, int32_t count, int32_t firstIndex);

// Which closed shape lies inside which.
struct Nesting {
  // Per shape: the innermost closed shape that encloses it, -1 for none.
  std::vector<int32_t> parent;
  // Per shape: 0 for an outermost closed shape, its parent's depth + 1 inside
  // it; -1 for a shape that is no closed loop with an area (an open shape, or
  // a stroke drawn out and back).
  std::vector<int32_t> depth;
  // Per shape: the loop's signed area, positive for a counter-clockwise loop.
  std::vector<double> area;
  // Per shape: its outline crosses that of another closed shape. Crossing
  // shapes are siblings: neither encloses the other.
  std::vector<uint8_t> crossing;
};

// loops[i] is the loop of shape i, empty for an open shape. Containment is
// decided on outlines flattened to chords (arcs every 5 degrees) with a grid
// of their edges: a shape's parent follows from the first outline straight
// below its lowest point (inside that outline: it is the parent; outside: the
// two share a parent), which needs each shape's lowest point only, and
// shapes are taken from the lowest up, so every answer builds on earlier ones.
// `enclosed`, when given, holds per shape the area its loop encloses as it is
// filled (a figure eight's lobes both count, though its signed area is
// nought); a loop encloses something when that is not nought.
Nesting nestShapes(const std::vector<std::vector<PathCurve>>& loops,
                   const std::vector<double>& enclosed = {});

// The regions a nesting makes: per shape, the holes (odd depth) directly
// inside it when it is a part (even depth: outermost, or an island in a
// hole), which leave its area open; empty for every other shape.
std::vector<std::vector<size_t>> directHoles(const Nesting& nest);

}  // namespace brevanto
