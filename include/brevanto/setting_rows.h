// The settings table: every setting a job reads, with its type, unit,
// built-in value, range, choices and meaning. --help, the README's table and
// the VBA module's list are made from it.
#pragma once

#include <array>
#include <cstddef>

#include "brevanto/feature_setting_rows.h"
#include "brevanto/setting_types.h"

namespace brevanto {

inline constexpr std::string_view kDialectNames[] = {"classic", "linuxcnc", "grbl"};
inline constexpr std::string_view kCutOrderNames[] = {"drawing", "inside-first"};
inline constexpr std::string_view kToolOffsetNames[] = {"none", "outside", "inside"};

// The settings of the macro's dialog and the first version's job, in the
// order a job reads them.
inline constexpr SettingInfo kFirstSettings[] = {
    {.name = "txtFeedZ",
     .type = SettingType::Number,
     .unit = "mm/min",
     .builtIn = "100",
     .most = 100000.0,
     .range = "more than 0 and at most 100000",
     .meaning = "plunge feed",
     .inMacroDialog = true},
    {.name = "txtMaxZ",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "1.5",
     .leastIncluded = true,
     .most = 1000.0,
     .signIgnored = true,
     .range = "at most 1000 either side of 0 (the sign does not count; 0: one pass)",
     .meaning = "depth of cut per pass",
     .inMacroDialog = true},
    {.name = "txtDepth",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "2",
     .leastIncluded = true,
     .most = 1000.0,
     .signIgnored = true,
     .range = "at most 1000 either side of 0 (the sign does not count)",
     .meaning = "total depth",
     .inMacroDialog = true},
    {.name = "txtSaveZ",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "5",
     .most = 1000.0,
     .range = "above the surface of the workpiece: more than 0 and at most 1000",
     .meaning = "safe height for rapid moves",
     .inMacroDialog = true},
    {.name = "txtFeedCut",
     .type = SettingType::Number,
     .unit = "mm/min",
     .builtIn = "800",
     .most = 100000.0,
     .range = "more than 0 and at most 100000",
     .meaning = "cutting feed",
     .inMacroDialog = true},
    {.name = "txtWZNummer",
     .type = SettingType::Whole,
     .unit = "",
     .builtIn = "1",
     .least = 1.0,
     .leastIncluded = true,
     .most = 9999.0,
     .range = "a whole number from 1 to 9999",
     .meaning = "tool number",
     .inMacroDialog = true},
    {.name = "txtWZDia",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "3",
     .most = 1000.0,
     .range = "more than 0 and at most 1000",
     .meaning = "tool diameter (the tool change line; the offset takes half of it)",
     .inMacroDialog = true},
    {.name = "Prezision",
     .type = SettingType::Number,
     .unit = "",
     .builtIn = "3",
     .most = 1e300,
     .mayBeEmpty = true,
     .range = "a finite number above 0, or empty for the default",
     .meaning = "joining precision: arcs within Prezision/10 degrees and alike in size, "
                "lines within Prezision/10 degrees are joined",
     .inMacroDialog = true},
    {.name = "Dialect",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "classic",
     .mayBeEmpty = true,
     .choices = kDialectNames,
     .meaning = "the controllers the program is written for: classic (numbered blocks, R "
                "arcs), linuxcnc or grbl",
     .inMacroDialog = true},
    {.name = "CutOrder",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "drawing",
     .mayBeEmpty = true,
     .choices = kCutOrderNames,
     .meaning = "drawing (list order) or inside-first (open shapes first, then every shape "
                "before any closed shape around it, each next start the nearest)",
     .inMacroDialog = true},
    {.name = "ToolOffset",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "none",
     .mayBeEmpty = true,
     .choices = kToolOffsetNames,
     .meaning = "none (tool centre on the line), outside (parts: outlines cut outside, holes "
                "inside, by half of txtWZDia) or inside (openings: outlines cut inside, islands "
                "outside)",
     .inMacroDialog = true},
};

// Two runs of rows made into one table, the first run's rows first.
template <std::size_t First, std::size_t Then>
constexpr std::array<SettingInfo, First + Then> joinedSettingRows(const SettingInfo (&first)[First],
                                                                  const SettingInfo (&then)[Then]) {
  std::array<SettingInfo, First + Then> rows{};
  for (std::size_t i = 0; i < First; ++i) rows[i] = first[i];
  for (std::size_t i = 0; i < Then; ++i) rows[First + i] = then[i];
  return rows;
}

// Every setting a job reads, in the order it reads them.
inline constexpr auto kSettings = joinedSettingRows(kFirstSettings, kFeatureSettings);

}  // namespace brevanto
