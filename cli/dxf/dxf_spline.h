#pragma once

#include <string>
#include <vector>

#include "dxf_document.h"
#include "dxf_geometry.h"

namespace brevanto::cli::dxf {

// Splines of this degree at most are read.
inline constexpr int32_t kMostSplineDegree = 11;

// The spline as lines and cubics in world x and y. A non-rational B-spline
// of degree 1 to 3 becomes exactly its Bezier pieces (its knots raised to
// full multiplicity); a rational or higher-degree one is fitted piece by
// piece within `tolerance`; one given only by fit points becomes the cubic
// spline through them (chord-length parameters, the given end tangents).
// False with `problem` set when the data make no curve, or kTooManyPieces
// past `most` pieces.
bool splinePieces(const SplineData& spline, double tolerance, size_t most, std::vector<Piece>& out,
                  std::string& problem);

}  // namespace brevanto::cli::dxf
