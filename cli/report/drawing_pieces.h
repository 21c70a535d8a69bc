#pragma once

#include <cmath>
#include <span>
#include <vector>

#include "brevanto/brevanto.h"
#include "report/piece_tree.h"

namespace brevanto::cli {

inline bool finitePoint(PlanePoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// The drawing's curves and lines as pieces for the fidelity figure; shapes
// numbered as the program numbers them, one for each run of equal shape
// keys. A cubic that turns far is cut in pieces that do not (so the nearest
// point on each is found from its samples); records with a coordinate that
// is not finite are left out.
std::vector<Piece> drawingPieces(std::span<const Segment> segments);

}  // namespace brevanto::cli
