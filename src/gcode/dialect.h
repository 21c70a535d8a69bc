#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "brevanto/settings.h"
#include "geometry/point2.h"

namespace brevanto {

// How an arc block names its circle.
enum class ArcForm {
  Radius,  // R, negative for the long way round
  Centre,  // I J: the centre relative to the arc's start (G91.1)
};

// Everything in which the dialects differ, as data: the writer asks these and
// never the dialect's name. Every dialect cuts the same path: the same moves,
// depths, feeds, passes and order; only the words differ.
//   classic   numbered blocks, G50 and G64 in the header, T..M6, R arcs;
//   linuxcnc  what LinuxCNC reads as written: no G50, G64 with a blending
//             tolerance, centre-format arcs;
//   grbl      what grbl 1.1 accepts line by line: no G50, G64 or M6 (the tool
//             as a comment), no block numbers (grbl stops at N10000000),
//             centre-format arcs, and no number with more digits than grbl
//             reads (8).
struct DialectRules {
  std::string_view name;
  std::string_view fileEnding;
  std::string_view modalLine;  // the header's modal state: plane, compensation, units of arcs
  // The tool change line with {T} (tool number) and {D} (diameter, 4 decimals).
  std::string_view toolChange;
  std::string_view blendLine;  // path blending; "" for none
  // Where the first and last moves go when ClearanceZ and Park are not set.
  double clearanceZ = 80.0;  // 0: txtSaveZ
  bool parks = true;         // without Park, the last move goes to parkX, parkY
  double parkX = 10.0, parkY = 300.0;
  bool pausesForTool = false;         // no M6: a tool change stops, parks and pauses (M0)
  bool lengthOffset = false;          // G43 H<tool> after a tool change
  std::string_view parkWords = "M5";  // stated after the park move's axes (the spindle off)
  std::string_view programEnd = "M30";
  ArcForm arcForm = ArcForm::Radius;
  bool numbered = true;    // "N<number> " in front of every block
  int32_t digitLimit = 0;  // more significant digits than this are refused (0: any)
  // Lasers. The words that switch the beam: with `beamOn` empty the header
  // sets the laser mode once and S alone switches the power (grbl's laser
  // mode, where G0 runs with the beam off); otherwise the first burning move
  // after `beamOff` states `beamOn` with its S, and `beamOff` stands before
  // every rapid that follows burning moves. (The settings refuse a laser
  // program in the classic dialect, which has neither.)
  std::string_view beamOn{};
  std::string_view beamOff{};
};

const DialectRules& dialectRules(Dialect dialect);

// The height of the first and last moves, and where the last one goes
// (nullopt: nowhere, Z goes up only), from the settings and, where they leave
// it open, the dialect.
double clearanceHeight(const DialectRules& rules, const JobSettings& settings);
std::optional<Point2> parkPlace(const DialectRules& rules, const JobSettings& settings);

// The tool change line of the rules for a tool number and diameter.
std::string toolChangeText(const DialectRules& rules, int32_t tool, float diameter);

}  // namespace brevanto
