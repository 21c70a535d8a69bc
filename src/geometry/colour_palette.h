#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brevanto {

using ColourIndex = int32_t;

struct PaletteEntry {
  int32_t red;
  int32_t green;
  int32_t blue;
};

// The 256 colours an outline colour is matched against.
extern const std::array<PaletteEntry, 256> ColourPalette;

// Index of the palette entry nearest to `colour` (red + 256*green +
// 65536*blue) by squared RGB distance; the lowest index wins a tie.
ColourIndex NearestColourIndex(int32_t colour);

}  // namespace brevanto
