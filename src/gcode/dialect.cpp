#include "gcode/dialect.h"

#include <iterator>

#include "gcode/number_format.h"

namespace brevanto {
namespace {

// Without ClearanceZ and Park, classic programs go up to Z 80 and end at
// X10 Y300 (DialectRules' defaults), as they always have; the newer dialects
// are written for small machines, whose Z or Y travel may end short of
// those: they stay at txtSaveZ and end where the last shape does.
constexpr DialectRules kRules[] = {
    {.name = "classic",
     .fileEnding = ".tap",
     .modalLine = "G0 G49 G40  G17 G80 G50 G90",
     .toolChange = "T{T}M6 ( DIA. {D}mm )",
     .blendLine = "G64"},
    // XY plane, no cutter or length compensation, no canned cycle, absolute
    // coordinates, arc centres relative to the arc's start; moves blended,
    // but no corner rounded by more than 0.01 mm, well below what joining and
    // arc fitting stray.
    {.name = "linuxcnc",
     .fileEnding = ".ngc",
     .modalLine = "G17 G40 G49 G80 G90 G91.1",
     .toolChange = "T{T} M6 (DIA. {D}mm)",
     .blendLine = "G64 P0.0100",
     .clearanceZ = 0.0,
     .parks = false,
     .lengthOffset = true,
     .arcForm = ArcForm::Centre,
     .beamOn = "M3",
     .beamOff = "M5"},
    // No tool changer: the operator mounts the tool the comment names.
    {.name = "grbl",
     .fileEnding = ".nc",
     .modalLine = "G17 G40 G49 G80 G90 G91.1",
     .toolChange = "(TOOL T{T} DIA. {D}mm)",
     .blendLine = "",
     .clearanceZ = 0.0,
     .parks = false,
     .pausesForTool = true,
     .arcForm = ArcForm::Centre,
     .numbered = false,
     .digitLimit = 8},
};

// The rules stand in the order of the Dialect values and of the setting's
// choices.
constexpr bool rulesInOrder() {
  for (size_t i = 0; i < std::size(kRules); ++i) {
    if (kRules[i].name != kDialectNames[i]) return false;
  }
  return std::size(kRules) == std::size(kDialectNames);
}
static_assert(rulesInOrder());

}  // namespace

const DialectRules& dialectRules(Dialect dialect) {
  return kRules[static_cast<size_t>(dialect)];
}

std::string_view dialectName(Dialect dialect) {
  return dialectRules(dialect).name;
}

std::string_view programFileEnding(Dialect dialect) {
  return dialectRules(dialect).fileEnding;
}

double clearanceHeight(const DialectRules& rules, const JobSettings& settings) {
  if (settings.clearanceZ != 0.0) return settings.clearanceZ;
  return rules.clearanceZ != 0.0 ? rules.clearanceZ : static_cast<double>(settings.safeZ);
}

std::optional<Point2> parkPlace(const DialectRules& rules, const JobSettings& settings) {
  switch (settings.park) {
    case ParkPlace::At:
      return Point2{settings.parkX, settings.parkY};
    case ParkPlace::None:
      return std::nullopt;
    case ParkPlace::Dialect:
      break;
  }
  if (!rules.parks) return std::nullopt;
  return Point2{rules.parkX, rules.parkY};
}

std::string toolChangeText(const DialectRules& rules, int32_t tool, float diameter) {
  std::string line;
  const std::string_view pattern = rules.toolChange;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.substr(i, 3) == "{T}") {
      line += formatInt(tool);
      i += 2;
    } else if (pattern.substr(i, 3) == "{D}") {
      line += formatFixed(diameter, 4);
      i += 2;
    } else {
      line += pattern[i];
    }
  }
  return line;
}

}  // namespace brevanto
