#pragma once

#include <cstdint>

namespace brevanto {

// The machining settings, in the order they are loaded. Depths are stored
// negative (below the workpiece surface at Z 0) and feeds, tool number and
// diameter non-negative, whatever sign the user typed; the safe height keeps
// its sign.
struct CncSettings {
  float plungeFeed = 0.0F;    // "txtFeedZ": feed of the plunge into the material
  float passDepth = 0.0F;     // "txtMaxZ": depth of cut per pass, negated
  float finalDepth = 0.0F;    // "txtDepth": total depth, negated
  float safeZ = 0.0F;         // "txtSaveZ": height of rapid moves and retracts
  float cutFeed = 0.0F;       // "txtFeedCut": feed along the path
  int32_t toolNumber = 0;     // "txtWZNummer": truncated toward zero
  float toolDiameter = 0.0F;  // "txtWZDia": only shown in the tool change line
};

// Overwritten by every load; zero before the first.
extern CncSettings cncSettings;

// A total depth that needs more passes than this is refused: it is a typing
// slip (a pass depth of 0.0001), and the program would fill the disk.
inline constexpr int32_t kMostPasses = 100000;

// Loads the seven machining values into cncSettings, each stored before the
// next is read, then composes gcodeWriter.toolChangeLine and restarts the
// block numbering at N10 in steps of 10. Throws, leaving the rest as it was:
//   std::invalid_argument("invalid stof argument") for a text that does not
//     start with a number, or a not-a-number;
//   std::out_of_range("stof argument out of range") for a number too large
//     for a double, or infinite as a float;
//   std::invalid_argument naming txtMaxZ when the depths need more than
//     kMostPasses passes.
void loadSettings();

// The precision of the path simplification ("Prezision"), read afresh on
// every call. Text that does not start with a number reads as 0.
double readPrecision();

}  // namespace brevanto
