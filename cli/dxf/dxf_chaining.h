#pragma once

#include <vector>

#include "dxf_geometry.h"

namespace brevanto::cli::dxf {

// Ends closer than this (mm) are one point.
inline constexpr double kChainGapMm = 0.001;

// Joins open outlines of one layer and colour whose ends meet (within
// kChainGapMm, in any order and direction) into chains, and closes each
// chain that ends where it starts. Every outline is in exactly one result,
// pieces reversed where a chain runs against them; a joint is moved onto
// the end before it. Results keep the order of each chain's first outline
// in `outlines`. Time grows with the number of outlines (a grid of ends).
std::vector<Outline> chainOutlines(std::vector<Outline>&& outlines);

}  // namespace brevanto::cli::dxf
