#pragma once

#include <string>

#include "dxf_document.h"
#include "dxf_geometry.h"

namespace brevanto::cli::dxf {

// The map from an entity's own coordinate system (the plane of its extrusion
// direction `normal`) to world x and y, seen from above: the identity for
// (0,0,1), a mirror in x for (0,0,-1), which CAD programs write for
// mirrored arcs and polylines.
Affine planeToWorld(const Vec3& normal);

// What a drawn entity (line, arc, circle, ellipse, polyline, spline) cuts,
// mapped by `toMm` from world coordinates to millimetres. Empty pieces when
// it draws nothing (a zero radius, one vertex); false with `problem` when
// its data make no curve, or kTooManyPieces past `most` pieces.
bool entityOutline(const Entity& entity, const Affine& toMm, size_t most, Outline& out,
                   std::string& problem);

}  // namespace brevanto::cli::dxf
