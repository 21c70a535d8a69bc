#pragma once

#include <cstdint>

#include "brevanto/host.h"
#include "gcode/dialect.h"

namespace brevanto {

// "CutOrder": the order the shapes are cut in.
enum class CutOrder {
  Drawing,      // "drawing" (or missing): list order
  InsideFirst,  // "inside-first": open shapes, then every shape before any that encloses it
};

// "ToolOffset": which side of a closed shape the tool runs on.
enum class ToolOffset {
  None,     // "none" (or missing): the tool's centre on the line
  Outside,  // "outside": parts; outlines cut outside, holes inside
  Inside,   // "inside": openings; outlines cut inside, islands outside
};

// The settings of one job, read once at its start. Depths are stored
// negative (below the workpiece surface at Z 0) and feeds, tool number and
// diameter non-negative, whatever sign the user typed; the safe height keeps
// its sign.
struct CncSettings {
  float plungeFeed = 0.0F;             // "txtFeedZ": feed of the plunge into the material
  float passDepth = 0.0F;              // "txtMaxZ": depth of cut per pass, negated
  float finalDepth = 0.0F;             // "txtDepth": total depth, negated
  float safeZ = 0.0F;                  // "txtSaveZ": height of rapid moves and retracts
  float cutFeed = 0.0F;                // "txtFeedCut": feed along the path
  int32_t toolNumber = 0;              // "txtWZNummer": truncated toward zero
  float toolDiameter = 0.0F;           // "txtWZDia": only shown in the tool change line
  double precision = 0.0;              // "Prezision": scaled by each joining pass in its own way
  Dialect dialect = Dialect::Classic;  // "Dialect": the words of the program
  CutOrder cutOrder = CutOrder::Drawing;      // "CutOrder"
  ToolOffset toolOffset = ToolOffset::None;  // "ToolOffset"
};

// A total depth that needs more passes than this is refused: it is a typing
// slip (a pass depth of 0.0001), and the program would fill the disk.
inline constexpr int32_t kMostPasses = 100000;

// Reads the seven machining values in their load order, then the precision,
// the dialect and the two cut-out choices, each once. A machining value that
// is not a usable number ends the load with a JobError(BREVANTO_SETTINGS_REFUSED)
// whose message names the setting and quotes its text:
//   'txtFeedZ: "abc" is not a number' for a text that does not start with a
//     number (readSettingNumber), or a not-a-number;
//   'txtDepth: "1e999" is out of range (...)' for a range error of the
//     reading, or a value infinite as a float;
//   a message naming txtMaxZ when the depths need more than kMostPasses passes.
// The precision never fails: a text that does not start with a number reads
// as 0, and the joining passes use their defaults. A dialect name that is not
// known is refused like a bad machining value (blanks around it and the case
// of its letters do not count; missing or empty is classic). So are CutOrder
// and ToolOffset: missing or empty is the first value, any text other than a
// value's name is refused with a message naming the setting, the text and
// the values it may take.
CncSettings loadSettings(const SettingsSource& source);

// The precision alone, as loadSettings reads it.
double readPrecision(const SettingsSource& source);

}  // namespace brevanto
