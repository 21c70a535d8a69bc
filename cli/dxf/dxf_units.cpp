#include "dxf_units.h"

#include <algorithm>
#include <array>

namespace brevanto::cli::dxf {

std::optional<DrawingUnit> unitOfInsunits(int32_t code) {
  struct Row {
    int32_t code;
    double mm;
    const char* name;
  };
  static constexpr Row kUnits[] = {
      {1, 25.4, "inch"},
      {2, 304.8, "foot"},
      {3, 1609344.0, "mile"},
      {4, 1.0, "mm"},
      {5, 10.0, "cm"},
      {6, 1000.0, "m"},
      {7, 1.0e6, "km"},
      {8, 25.4e-6, "microinch"},
      {9, 0.0254, "mil"},
      {10, 914.4, "yard"},
      {11, 1.0e-7, "angstrom"},
      {12, 1.0e-6, "nanometre"},
      {13, 1.0e-3, "micrometre"},
      {14, 100.0, "decimetre"},
      {15, 1.0e4, "decametre"},
      {16, 1.0e5, "hectometre"},
  };
  for (const Row& row : kUnits) {
    if (row.code == code) return DrawingUnit{row.mm, row.name};
  }
  return std::nullopt;
}

std::optional<DrawingUnit> unitNamed(std::string_view name) {
  if (name == "mm") return DrawingUnit{1.0, "mm"};
  if (name == "cm") return DrawingUnit{10.0, "cm"};
  if (name == "m") return DrawingUnit{1000.0, "m"};
  if (name == "in" || name == "inch") return DrawingUnit{25.4, "inch"};
  if (name == "ft" || name == "foot") return DrawingUnit{304.8, "foot"};
  return std::nullopt;
}

int32_t aciColour(int32_t index) {
  const auto rgb = [](int r, int g, int b) { return r + 256 * g + 65536 * b; };
  static constexpr std::array<std::array<int, 3>, 10> kFirst{{{0, 0, 0},
                                                              {255, 0, 0},
                                                              {255, 255, 0},
                                                              {0, 255, 0},
                                                              {0, 255, 255},
                                                              {0, 0, 255},
                                                              {255, 0, 255},
                                                              {0, 0, 0},
                                                              {128, 128, 128},
                                                              {192, 192, 192}}};
  if (index >= 1 && index <= 9) {
    const auto& c = kFirst[static_cast<size_t>(index)];
    return rgb(c[0], c[1], c[2]);
  }
  if (index >= 250 && index <= 255) {
    static constexpr int kGreys[] = {51, 80, 105, 130, 190, 255};
    const int v = kGreys[index - 250];
    return rgb(v, v, v);
  }
  if (index < 10 || index > 249) return 0;
  // 24 hues 15 degrees apart; in each, five brightnesses (1, 0.65, 0.5, 0.3
  // and 0.15 of full, written exactly in quarters), each at full saturation
  // (even index) and at half (odd). Every channel is worked out from these
  // unrounded levels and only then cut to a whole number, as the palette's
  // own values are: rounding the levels first puts 33 at 123 where the
  // palette has 124, and 43 at 144 for 145.
  static constexpr double kBright[] = {255.0, 165.75, 127.5, 76.5, 38.25};
  const int hue = (index - 10) / 10 * 15;
  const int step = (index % 10) / 2;
  const bool pale = index % 2 == 1;
  const double v = kBright[step];
  const double low = pale ? v / 2.0 : 0.0;
  // The hue's red, green and blue shares in [0, 1] on the colour wheel.
  const auto share = [hue](int offset) {
    const int h = (hue + offset) % 360;
    if (h < 60) return 1.0;
    if (h < 120) return (120 - h) / 60.0;
    if (h < 240) return 0.0;
    if (h < 300) return (h - 240) / 60.0;
    return 1.0;
  };
  const auto level = [&](double s) { return static_cast<int>(low + (v - low) * s); };
  return rgb(level(share(0)), level(share(240)), level(share(120)));
}

}  // namespace brevanto::cli::dxf
