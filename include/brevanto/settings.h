// The settings of a job: one table of every setting (name, type, unit,
// built-in value, range, choices, meaning), the typed value a job runs with,
// and one reader of a settings store in two strictnesses.
//
// sp() reads its store as the macro's dialog has always been read: the number
// a text starts with, unknown choices refused. The brevanto command reads the
// same table strictly (a plain decimal number within the setting's range) and
// hands the job the typed value, so nothing is parsed twice.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace brevanto {

// A settings store: the text of the named setting, "" when it is missing.
// A job asks it for each setting of kSettings exactly once.
using SettingsSource = std::function<std::string(std::string_view name)>;

// "Dialect": the form in which a program is written for a family of
// controllers. Every dialect cuts the same path; only the words differ.
enum class Dialect { Classic, LinuxCnc, Grbl };

// "CutOrder": the order the shapes are cut in.
enum class CutOrder {
  Drawing,      // list order
  InsideFirst,  // open shapes, then every shape before any that encloses it
};

// "ToolOffset": which side of a closed shape the tool runs on.
enum class ToolOffset {
  None,     // the tool's centre on the line
  Outside,  // parts: outlines cut outside, holes inside
  Inside,   // openings: outlines cut inside, islands outside
};

// The settings of one job as typed values. Depths are stored negative (below
// the workpiece surface at Z 0) and feeds, tool number and diameter
// non-negative, whatever sign the user typed; the safe height keeps its sign.
// The machining values are single precision, as the macro's dialog has always
// been read: the program's numbers depend on that rounding.
struct JobSettings {
  float plungeFeed = 100.0F;  // txtFeedZ
  float passDepth = -1.5F;    // txtMaxZ, negated
  float finalDepth = -2.0F;   // txtDepth, negated
  float safeZ = 5.0F;         // txtSaveZ
  float cutFeed = 800.0F;     // txtFeedCut
  int32_t toolNumber = 1;     // txtWZNummer, truncated toward zero
  float toolDiameter = 3.0F;  // txtWZDia
  double precision = 3.0;     // Prezision; 0 (or not a number): the passes' defaults
  Dialect dialect = Dialect::Classic;
  CutOrder cutOrder = CutOrder::Drawing;
  ToolOffset toolOffset = ToolOffset::None;
  // Text (read by the command, which sets a drawing's texts; the job itself
  // never looks at it).
  std::string textFont;  // TextFont: "" outline fonts, "hershey:NAME" single strokes
};

enum class SettingType {
  Number,  // a decimal number
  Whole,   // a whole number
  Choice,  // one of the setting's choices (case and blanks around it do not count)
  Text,    // the row's textPrefix and a name of letters, digits, '_' or '-'
};

// One row of the settings table.
struct SettingInfo {
  std::string_view name{};  // registry value, settings-file line, --set NAME
  SettingType type = SettingType::Number;
  std::string_view unit{};     // "mm", "mm/min", "" for none
  std::string_view builtIn{};  // the command's value when no settings file exists
  // The range the command accepts (strict reading): above `least` (or at
  // least it), at most `most`; with `signIgnored` the size is checked.
  double least = 0.0;
  bool leastIncluded = false;
  double most = 0.0;
  bool signIgnored = false;
  bool mayBeEmpty = false;                      // empty means the built-in default
  std::string_view range{};                     // the range in words ("" for a choice)
  std::span<const std::string_view> choices{};  // a choice's values, the first the default
  std::string_view meaning{};
  bool inMacroDialog = false;     // saved by the VBA module's BrevantoSaveSettings
  std::string_view textPrefix{};  // a Text's value starts with it ("hershey:")
};

inline constexpr std::string_view kDialectNames[] = {"classic", "linuxcnc", "grbl"};
inline constexpr std::string_view kCutOrderNames[] = {"drawing", "inside-first"};
inline constexpr std::string_view kToolOffsetNames[] = {"none", "outside", "inside"};

// Every setting a job reads, in the order it reads them.
inline constexpr SettingInfo kSettings[] = {
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
    // Text
    {.name = "TextFont",
     .type = SettingType::Text,
     .unit = "",
     .builtIn = "",
     .mayBeEmpty = true,
     .range = "empty, or hershey:NAME with NAME a font of Debian's hershey-fonts-data (futural, "
              "rowmans, timesr, scripts, ...)",
     .meaning = "the font of the drawing's texts: empty sets them as the outlines of the fonts "
                "they name; hershey:NAME as that single-stroke font's lines, traced once, a "
                "capital 0.7 of the font size tall",
     .textPrefix = "hershey:"},
};

// The row of `name`, nullptr for a name that is not a setting.
const SettingInfo* findSetting(std::string_view name);

// The setting whose name is nearest `name` by edit distance, when it is near
// enough to be a slip (a letter or two); nullptr otherwise.
const SettingInfo* nearestSetting(std::string_view name);

// How strictly a store's texts are read.
enum class SettingsReading {
  // sp's reading: the number a text starts with ("2mm" is 2, "0,5" is 0), a
  // machining value that does not start with a number refused, the precision
  // never refused.
  Macro,
  // The command's: every value a plain decimal number within its range, or
  // one of its choices, before the job runs.
  Strict,
};

// What reading a store gave: the typed settings, or the first setting
// refused and why.
struct SettingsRead {
  JobSettings settings{};
  std::string refusedName;  // "" when all were accepted
  std::string error;        // the message, naming the setting
  [[nodiscard]] bool ok() const { return refusedName.empty(); }
};

SettingsRead readSettings(const SettingsSource& source, SettingsReading reading);

// Why `text` is not a value the strict reading accepts for `setting`, with
// the fix where one is certain ("use a decimal point, not a comma:
// txtDepth=0.5"); "" when it is accepted. An empty text is refused unless the
// setting may be empty.
std::string strictSettingFault(const SettingInfo& setting, std::string_view text);

// The text of a choice's value, for messages and --show-settings.
std::string_view dialectName(Dialect dialect);

// The usual file name ending of a program for the dialect: what the
// controllers' own file dialogs look for (".tap", ".ngc", ".nc").
std::string_view programFileEnding(Dialect dialect);

// A double as the shortest decimal text that reads back as the same value
// ("0.01171875"), for messages that must not lose digits.
std::string exactText(double value);

}  // namespace brevanto
