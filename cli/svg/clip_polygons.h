#pragma once

#include <polyclipping/clipper.hpp>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// Clipper works on integer coordinates: this many to the millimetre.
constexpr double kUnitsPerMm = 1.0e4;

// The closed polygons of an outline's subpaths (shapeKey: the subpath index),
// curves flattened within ClipRegion::kFlatnessMm.
ClipperLib::Paths polygonsOf(const std::vector<Segment>& pieces);

}  // namespace brevanto::cli
