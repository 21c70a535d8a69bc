#pragma once

#include <string>

#include "dxf_document.h"
#include "dxf_geometry.h"
#include "dxf_space.h"

namespace brevanto::cli::dxf {

// What an entity reports when its plane, once placed, is not parallel to
// the table: it is left out rather than cut as its shadow.
inline constexpr const char* kTilted = "drawn in a tilted plane";

// What a drawn entity (line, arc, circle, ellipse, polyline, spline) cuts,
// mapped by `toMm` from world coordinates to millimetres and seen from
// above. Empty pieces when it draws nothing (a zero radius, one vertex);
// false with `problem` when its data make no curve, kTilted when its plane
// is tilted, or kTooManyPieces past `most` pieces.
bool entityOutline(const Entity& entity, const Space& toMm, size_t most, Outline& out,
                   std::string& problem);

}  // namespace brevanto::cli::dxf
