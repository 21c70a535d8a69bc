#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/path_curve.h"

namespace brevanto {

// One closed path of a pocket's clearing: part of the edge of the area in
// which the tool's centre stays at least one distance from every outline of
// the region. The area lies to its left, so an edge round the outside of
// that area runs counter-clockwise and one round an island clockwise.
struct PocketRing {
  std::vector<PathCurve> curves;
  size_t level = 0;    // which distance
  bool closed = true;  // false: a stretch whose ends could not be joined
  bool outer = true;   // round the outside of its component (not an island)
  size_t component = 0;
};

// One connected piece of the area at one distance: the ring round its
// outside, the rings round the islands in it, and the pieces one level
// further in that lie inside it.
struct PocketComponent {
  size_t level = 0;
  std::vector<size_t> rings;  // the outer ring first, if it has one
  std::vector<size_t> children;
  int64_t parent = -1;
};

struct PocketRings {
  std::vector<PocketRing> rings;
  std::vector<PocketComponent> components;
  std::vector<size_t> roots;  // the components at the first distance
  // Where the tool does not reach at the first distance (a corner or a neck
  // too narrow for it), as the offset reports them.
  std::vector<Point2> misfits;
};

// The same loop run the other way.
std::vector<PathCurve> reversedLoop(const std::vector<PathCurve>& loop);

// The rings of the region bounded by `loops` (the outline first, counter-
// clockwise, then the islands in it, clockwise) at each of `distances`
// (ascending, mm): the offsets of all the loops together, arcs kept as arcs,
// with their stretches joined where the offset of one loop meets that of
// another (an island's ring merging into the outline's) and split where the
// area breaks apart at a neck. Stops at the first distance with no ring.
PocketRings pocketRings(const std::vector<std::vector<PathCurve>>& loops,
                        const std::vector<double>& distances);

// The area (mm2) a disc of `radius` covers with its centre anywhere in the
// area the closed rings of level 0 bound: their area, the band one radius
// wide outside them, the discs' round at each corner and arc that turns
// outwards less the overlap of the bands at each one that turns inwards.
// Exact where no two parts of the band overlap elsewhere (a short neck
// between two pieces of the area can make it too large).
double reachedArea(const PocketRings& rings, double radius);

// Whether p lies inside the closed loop (arcs followed in steps of a few
// degrees).
bool loopEncloses(const std::vector<PathCurve>& loop, Point2 p);

}  // namespace brevanto
