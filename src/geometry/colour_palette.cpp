#include "geometry/colour_palette.h"

namespace brevanto {
namespace {

// Per shade (0 brightest .. 4) and tint (0 full, 1 pale): the top value T, the
// bottom value M and the three values Q1..Q3 between them.
struct ShadeLevels {
  int32_t top;
  int32_t bottom;
  int32_t q[4];  // q[1..3]; q[0] unused
};

constexpr ShadeLevels kLevels[5][2] = {
    {{255, 0, {0, 63, 127, 191}}, {255, 170, {0, 191, 212, 234}}},
    {{189, 0, {0, 46, 94, 141}}, {189, 126, {0, 141, 157, 173}}},
    {{129, 0, {0, 31, 64, 96}}, {129, 86, {0, 96, 107, 118}}},
    {{104, 0, {0, 25, 52, 78}}, {104, 69, {0, 78, 86, 95}}},
    {{79, 0, {0, 19, 39, 59}}, {79, 53, {0, 59, 66, 73}}},
};

// Entries 10..249: 24 hues in steps of 15 degrees, 5 shades each, each shade
// full and pale. Hue h = 4*sector + step; within a sixty-degree sector one
// channel rises from M through Q1..Q3 while another falls from T.
constexpr std::array<PaletteEntry, 256> makePalette() {
  std::array<PaletteEntry, 256> p{};
  constexpr PaletteEntry kFixedLow[10] = {
      {0, 0, 0},   {255, 0, 0},   {255, 255, 0},   {0, 255, 0},  {0, 255, 255},
      {0, 0, 255}, {255, 0, 255}, {255, 255, 255}, {65, 65, 65}, {128, 128, 128}};
  constexpr PaletteEntry kGreys[6] = {{51, 51, 51},    {80, 80, 80},    {105, 105, 105},
                                      {130, 130, 130}, {190, 190, 190}, {255, 255, 255}};
  for (int i = 0; i < 10; ++i) p[i] = kFixedLow[i];
  for (int i = 0; i < 6; ++i) p[250 + i] = kGreys[i];

  for (int hue = 0; hue < 24; ++hue) {
    const int sector = hue / 4;
    const int step = hue % 4;
    for (int shade = 0; shade < 5; ++shade) {
      for (int tint = 0; tint < 2; ++tint) {
        const ShadeLevels& l = kLevels[shade][tint];
        const int32_t t = l.top;
        const int32_t m = l.bottom;
        const int32_t rising = step == 0 ? m : l.q[step];
        const int32_t falling = step == 0 ? t : l.q[4 - step];
        PaletteEntry e{};
        switch (sector) {
          case 0:
            e = {t, rising, m};
            break;
          case 1:
            e = {falling, t, m};
            break;
          case 2:
            e = {m, t, rising};
            break;
          case 3:
            e = {m, falling, t};
            break;
          case 4:
            e = {rising, m, t};
            break;
          default:
            e = {t, m, falling};
            break;
        }
        p[10 + 10 * hue + 2 * shade + tint] = e;
      }
    }
  }
  return p;
}

}  // namespace

constexpr std::array<PaletteEntry, 256> kPalette = makePalette();
const std::array<PaletteEntry, 256> ColourPalette = kPalette;

// The examples the palette is known by, checked where the table is built.
static_assert(kPalette[21].red == 255 && kPalette[21].green == 191 && kPalette[21].blue == 170);
static_assert(kPalette[30].red == 255 && kPalette[30].green == 127 && kPalette[30].blue == 0);
static_assert(kPalette[137].red == 69 && kPalette[137].green == 104 && kPalette[137].blue == 104);

ColourIndex NearestColourIndex(int32_t colour) {
  // Truncating division and a remainder with the dividend's sign: a negative
  // colour gives components from -255 to 0, which are matched as they are.
  const int32_t red = colour % 256;
  const int32_t green = (colour / 256) % 256;
  const int32_t blue = (colour / 65536) % 256;

  int32_t best = 16777216;
  ColourIndex result = 0;
  for (int32_t i = 0; i < 256; ++i) {
    const PaletteEntry& e = kPalette[static_cast<size_t>(i)];
    const int32_t dr = red - e.red;
    const int32_t dg = green - e.green;
    const int32_t db = blue - e.blue;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      result = i;
    }
  }
  return result;
}

}  // namespace brevanto
