#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brevanto::cli::dxf {

struct DrawingUnit {
  double mm = 1.0;   // millimetres per drawing unit
  std::string name;  // "mm", "inch", ...
};

// The unit of a $INSUNITS code; nullopt for 0 (unitless) and codes the
// format does not define.
std::optional<DrawingUnit> unitOfInsunits(int32_t code);

// The unit a user names on the command line (mm, cm, m, in or inch, ft or
// foot); nullopt for anything else.
std::optional<DrawingUnit> unitNamed(std::string_view name);

// What --help says the command line takes.
inline constexpr std::string_view kUnitNames = "mm, cm, m, in (inch), ft (foot)";

// The 24-bit colour (red + 256 green + 65536 blue) of an AutoCAD colour
// index 1..255; 7 (white on a dark screen, black on paper) is black, as
// cut parts are drawn on paper. Anything else is black too.
int32_t aciColour(int32_t index);

}  // namespace brevanto::cli::dxf
