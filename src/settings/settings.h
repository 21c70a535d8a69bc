#pragma once

#include <cstdint>

#include "brevanto/settings.h"

namespace brevanto {

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
// as 0, and the joining passes use their defaults. A choice (Dialect,
// CutOrder, ToolOffset) whose text is none of its values is refused like a
// bad machining value (blanks around it and the case of its letters do not
// count; missing or empty is its first value).
JobSettings loadSettings(const SettingsSource& source);

// A host's typed settings, held to what loadSettings guarantees of the
// values it returns: finite machining values, depths and feeds as stored
// (depths at or below 0, the rest at or above it), a dialect and choices
// that exist, and a pass count within kMostPasses. Throws
// JobError(BREVANTO_SETTINGS_REFUSED) naming the field otherwise.
const JobSettings& checkedSettings(const JobSettings& settings);

// Spindle, ClearanceZ (0, or from txtSaveZ to 1000) and Park held to what
// loadSettings reads; throws JobError(BREVANTO_SETTINGS_REFUSED) otherwise.
void checkMachineNumbers(const JobSettings& settings);

// The precision alone, as loadSettings reads it.
double readPrecision(const SettingsSource& source);

// The passes the depths take, and whether they stay within kMostPasses: the
// pass loop stops at the first pass at or below the total depth. Throws the
// JobError loadSettings throws for too many.
void checkPassCount(float passDepth, float finalDepth);

}  // namespace brevanto
