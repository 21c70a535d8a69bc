#include "geometry/colour_palette.h"

#include <gtest/gtest.h>

namespace brevanto {
namespace {

int32_t rgb(int32_t r, int32_t g, int32_t b) {
  return r + 256 * g + 65536 * b;
}

TEST(ColourPalette, TabledEntries) {
  const struct {
    int index, r, g, b;
  } cases[] = {
      {0, 0, 0, 0},         {1, 255, 0, 0},       {2, 255, 255, 0},     {3, 0, 255, 0},
      {4, 0, 255, 255},     {5, 0, 0, 255},       {6, 255, 0, 255},     {7, 255, 255, 255},
      {8, 65, 65, 65},      {9, 128, 128, 128},   {250, 51, 51, 51},    {251, 80, 80, 80},
      {252, 105, 105, 105}, {253, 130, 130, 130}, {254, 190, 190, 190}, {255, 255, 255, 255},
      {21, 255, 191, 170},  {30, 255, 127, 0},    {137, 69, 104, 104},  {12, 189, 0, 0},
  };
  for (const auto& c : cases) {
    const PaletteEntry& e = ColourPalette[static_cast<size_t>(c.index)];
    EXPECT_EQ(e.red, c.r) << c.index;
    EXPECT_EQ(e.green, c.g) << c.index;
    EXPECT_EQ(e.blue, c.b) << c.index;
  }
}

TEST(ColourPalette, SectorStartsRepeatPrimaries) {
  const int repeats[][2] = {{10, 1}, {50, 2}, {90, 3}, {130, 4}, {170, 5}, {210, 6}, {255, 7}};
  for (const auto& pair : repeats) {
    const PaletteEntry& a = ColourPalette[static_cast<size_t>(pair[0])];
    const PaletteEntry& b = ColourPalette[static_cast<size_t>(pair[1])];
    EXPECT_EQ(a.red, b.red);
    EXPECT_EQ(a.green, b.green);
    EXPECT_EQ(a.blue, b.blue);
  }
}

TEST(NearestColourIndex, Examples) {
  const struct {
    int32_t colour;
    ColourIndex index;
  } cases[] = {
      {0, 0},
      {255, 1},  // not 10
      {16711680, 5},
      {16777215, 7},  // not 255
      {rgb(128, 128, 128), 9},
      {250, 1},
      {200, 12},
      {rgb(255, 128, 0), 30},
      {rgb(100, 100, 100), 252},
      {rgb(70, 70, 70), 8},
      {2147483647, 7},
      {rgb(0, 255, 0) + (1 << 24), 3},
      {-1, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(NearestColourIndex(c.colour), c.index) << c.colour;
}

TEST(NearestColourIndex, NeverReturnsDuplicateEntries) {
  for (int32_t r = 0; r < 256; r += 5) {
    for (int32_t g = 0; g < 256; g += 5) {
      for (int32_t b = 0; b < 256; b += 5) {
        const ColourIndex i = NearestColourIndex(rgb(r, g, b));
        EXPECT_TRUE(i != 10 && i != 50 && i != 90 && i != 130 && i != 170 && i != 210 && i != 255)
            << r << "," << g << "," << b;
      }
    }
  }
}

}  // namespace
}  // namespace brevanto
