#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>

#include "brevanto/host.h"

namespace brevanto::cli {

// What the preview needs to shade the area the pockets keep: the keys of
// the pockets' shapes and of the islands in them, and the smallest of their
// tools (so the shading never shows less than is left).
struct PocketShading {
  bool any = false;
  std::unordered_set<int32_t> keys;
  double toolDiameter = std::numeric_limits<double>::infinity();
};
PocketShading pocketShading(const JobReport* report);

// The pockets (`area`: the path data of their outlines and islands) filled
// red, under a mask that hides what a disc `width` pixels across sweeps
// along `reached` (the path data of the moves below the stock's top).
std::string shadedPockets(const std::string& area, const std::string& reached,
                          const std::string& width);

}  // namespace brevanto::cli
