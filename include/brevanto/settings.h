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

// "TabShape": how the tool goes over a holding tab.
enum class TabShape {
  Flat,    // straight up before the tab, down after it
  Ramped,  // up and down at TabAngle
};

// JobSettings::tabs for "Tabs=auto": one tab per TabSpacing of the outline.
inline constexpr int32_t kTabsBySpacing = -1;

// "Machine": what the program drives. A laser makes laser-cut the default
// kind and grbl the default dialect.
enum class Machine { Router, Laser };

// "Kind": what is done with each shape.
enum class OperationKind {
  Profile,    // the router's cut along the line, pass by pass in depth
  LaserCut,   // the beam along the line, Passes times
  LaserFill,  // the area a closed shape encloses (holes left out) hatched with lines
};

// "LaserMode": grbl's M4 scales the power with the speed (no burnt corners),
// M3 holds it.
enum class LaserMode { Dynamic, Constant };

// "Park": where the program's last move goes. Dialect: the dialect's own
// (classic: X10 Y300; linuxcnc and grbl: nowhere, Z goes up only).
enum class ParkPlace { Dialect, None, At };

// "Origin": where X0 Y0 of the program lies.
enum class WorkOrigin {
  Page,     // the page's lower-left corner (the drawing's own coordinates)
  Drawing,  // the lower-left corner of the shapes that are cut
  Centre,   // the middle of their extent
};

// "Direction": the sense a closed shape is cut in with a tool offset, for a
// spindle turning clockwise (M3).
enum class CutDirection {
  Drawing,       // as drawn
  Climb,         // the outside of a shape clockwise, its inside counter-clockwise
  Conventional,  // the opposite
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
  // Holding tabs, ramp entry and leads (all off by default).
  int32_t tabs = 0;           // Tabs: per closed shape; kTabsBySpacing: one per tabSpacing
  float tabSpacing = 100.0F;  // TabSpacing, mm
  float tabWidth = 6.0F;      // TabWidth, mm of material along the edge
  float tabHeight = 1.5F;     // TabHeight, mm above the bottom of the cut
  bool tabsOnHoles = false;   // TabsOnHoles
  TabShape tabShape = TabShape::Flat;
  float tabAngle = 45.0F;   // TabAngle, degrees
  float rampAngle = 90.0F;  // RampAngle, degrees; 90: straight plunge
  float leadIn = 0.0F;      // LeadIn, mm radius; 0: none

  // Laser cutting and fill hatching: power instead of depth, no Z.
  Machine machine = Machine::Router;
  OperationKind kind = OperationKind::Profile;  // an empty Kind: the machine's own
  float power = 100.0F;                         // Power, percent of laserMax
  float laserMax = 1000.0F;                     // LaserMax: the S of full power
  LaserMode laserMode = LaserMode::Dynamic;
  int32_t passes = 1;  // Passes
  bool airAssist = false;
  bool hasFocusZ = false;  // an empty FocusZ: no Z word at all
  float focusZ = 0.0F;
  float lineInterval = 0.1F;  // LineInterval, mm between fill lines
  float fillAngle = 0.0F;     // FillAngle, degrees from the X axis
  bool bidirectional = true;
  float overscan = 0.0F;  // Overscan, mm

  // The beam instead of the spindle: every shape burnt, none cut in depth.
  [[nodiscard]] bool laser() const { return kind != OperationKind::Profile; }

  // The machine's own numbers: spindle, coolant, the height of the first and
  // last moves, and where the program ends.
  int32_t spindleSpeed = 20000;  // Spindle, rpm
  bool coolant = true;           // Coolant
  double clearanceZ = 0.0;       // ClearanceZ; 0: the dialect's own (classic 80, else txtSaveZ)
  ParkPlace park = ParkPlace::Dialect;  // Park
  double parkX = 0.0, parkY = 0.0;      // Park's X,Y when park is At

  // The work origin.
  WorkOrigin origin = WorkOrigin::Page;  // Origin

  // Operations: the cut's sense beside the line.
  CutDirection direction = CutDirection::Drawing;  // Direction

  // Text (read by the command, which sets a drawing's texts; the job itself
  // never looks at it).
  std::string textFont;  // TextFont: "" outline fonts, "hershey:NAME" single strokes
};

enum class SettingType {
  Number,  // a decimal number
  Whole,   // a whole number
  Choice,  // one of the setting's choices (case and blanks around it do not count)
  Place,   // two numbers X,Y, or "none"
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
// Holding tabs, ramp entry and leads.
inline constexpr std::string_view kTabsAuto[] = {"auto"};
inline constexpr std::string_view kTabShapeNames[] = {"flat", "ramped"};
inline constexpr std::string_view kMachineNames[] = {"router", "laser"};
inline constexpr std::string_view kKindNames[] = {"profile", "laser-cut", "laser-fill"};
inline constexpr std::string_view kLaserModeNames[] = {"dynamic", "constant"};
inline constexpr std::string_view kOffOnNames[] = {"off", "on"};
inline constexpr std::string_view kOnOffNames[] = {"on", "off"};
inline constexpr std::string_view kWorkOriginNames[] = {"page", "drawing", "centre"};
inline constexpr std::string_view kCutDirectionNames[] = {"drawing", "climb", "conventional"};

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
    // Holding tabs, ramp entry and leads.
    {.name = "Tabs",
     .type = SettingType::Whole,
     .unit = "",
     .builtIn = "0",
     .leastIncluded = true,
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "a whole number from 0 to 1000, or auto (one per TabSpacing)",
     .choices = kTabsAuto,
     .meaning = "holding tabs on each part's outline (0: none)",
     .inMacroDialog = true},
    {.name = "TabSpacing",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "100",
     .most = 100000.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 100000",
     .meaning = "with Tabs=auto, one tab for each this much of an outline's length",
     .inMacroDialog = true},
    {.name = "TabWidth",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "6",
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 1000",
     .meaning = "width of the material bridge a tab leaves, along the part's edge (the raised "
                "stretch of the toolpath is this plus txtWZDia)",
     .inMacroDialog = true},
    {.name = "TabHeight",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "1.5",
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 1000",
     .meaning = "height of a tab above the bottom of the cut (only deeper passes go over it)",
     .inMacroDialog = true},
    {.name = "TabsOnHoles",
     .type = SettingType::Whole,
     .unit = "",
     .builtIn = "0",
     .leastIncluded = true,
     .most = 1.0,
     .mayBeEmpty = true,
     .range = "0 or 1",
     .meaning = "1: holes get tabs too (0: parts only; open lines never)",
     .inMacroDialog = true},
    {.name = "TabShape",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "flat",
     .mayBeEmpty = true,
     .choices = kTabShapeNames,
     .meaning = "flat (straight up and down at a tab) or ramped (up and down at TabAngle, or at "
                "RampAngle where that is gentler)",
     .inMacroDialog = true},
    {.name = "TabAngle",
     .type = SettingType::Number,
     .unit = "degrees",
     .builtIn = "45",
     .most = 90.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 90",
     .meaning = "slope of a ramped tab's ends",
     .inMacroDialog = true},
    {.name = "RampAngle",
     .type = SettingType::Number,
     .unit = "degrees",
     .builtIn = "90",
     .most = 90.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 90 (90: straight plunge)",
     .meaning = "steepest descent below the stock's top: each pass ramps down along the outline "
                "from just above the previous floor",
     .inMacroDialog = true},
    {.name = "LeadIn",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "0",
     .leastIncluded = true,
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "0 (none) or more, at most 1000",
     .meaning = "radius of the tangent arcs on which the tool enters and leaves an offset "
                "outline, in the waste (ToolOffset outside or inside)",
     .inMacroDialog = true},
    // Laser cutting and fill hatching.
    {.name = "Machine",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "router",
     .mayBeEmpty = true,
     .choices = kMachineNames,
     .meaning = "router (cuts in depth) or laser (burns with Power: laser-cut is then the "
                "default Kind and grbl the default Dialect)"},
    {.name = "Kind",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "",
     .mayBeEmpty = true,
     .choices = kKindNames,
     .meaning =
         "what is done with each shape: profile (the router's cut), laser-cut (the beam "
         "along the line, Passes times) or laser-fill (the area a closed shape encloses, "
         "holes left out, hatched with lines; open shapes traced); empty: the Machine's own"},
    {.name = "Power",
     .type = SettingType::Number,
     .unit = "%",
     .builtIn = "100",
     .most = 100.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 100",
     .meaning = "laser power, in percent of LaserMax"},
    {.name = "LaserMax",
     .type = SettingType::Number,
     .unit = "",
     .builtIn = "1000",
     .most = 100000.0,
     .mayBeEmpty = true,
     .range = "more than 0 and at most 100000",
     .meaning = "the S value of full laser power (grbl's $30)"},
    {.name = "LaserMode",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "dynamic",
     .mayBeEmpty = true,
     .choices = kLaserModeNames,
     .meaning = "grbl: dynamic (M4, power follows the speed, corners not burnt) or constant (M3)"},
    {.name = "Passes",
     .type = SettingType::Whole,
     .unit = "",
     .builtIn = "1",
     .least = 1.0,
     .leastIncluded = true,
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "a whole number from 1 to 1000",
     .meaning = "laser: times each shape is burnt"},
    {.name = "AirAssist",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "off",
     .mayBeEmpty = true,
     .choices = kOffOnNames,
     .meaning = "laser: on switches the air assist with M8 at the start and M9 at the end"},
    {.name = "FocusZ",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "",
     .leastIncluded = true,
     .most = 1000.0,
     .signIgnored = true,
     .mayBeEmpty = true,
     .range = "at most 1000 either side of 0, or empty for no Z move",
     .meaning = "laser: the one Z move, to the focus height at the start; empty: no Z word"},
    {.name = "LineInterval",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "0.1",
     .least = 0.001,
     .leastIncluded = true,
     .most = 100.0,
     .mayBeEmpty = true,
     .range = "at least 0.001 and at most 100",
     .meaning = "laser-fill: distance between the fill lines"},
    {.name = "FillAngle",
     .type = SettingType::Number,
     .unit = "degrees",
     .builtIn = "0",
     .leastIncluded = true,
     .most = 360.0,
     .signIgnored = true,
     .mayBeEmpty = true,
     .range = "at most 360 either side of 0",
     .meaning = "laser-fill: direction of the fill lines, counter-clockwise from the X axis"},
    {.name = "Bidirectional",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "on",
     .mayBeEmpty = true,
     .choices = kOnOffNames,
     .meaning = "laser-fill: on burns every other line backwards; off burns all one way"},
    {.name = "Overscan",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "0",
     .leastIncluded = true,
     .most = 100.0,
     .mayBeEmpty = true,
     .range = "at least 0 and at most 100",
     .meaning = "laser-fill: run past each end of a line with the beam off (G1 ... S0), so the "
                "speed is steady where it burns"},

    // The machine's own numbers.
    {.name = "Spindle",
     .type = SettingType::Whole,
     .unit = "rpm",
     .builtIn = "20000",
     .least = 1.0,
     .leastIncluded = true,
     .most = 100000.0,
     .mayBeEmpty = true,
     .range = "a whole number from 1 to 100000, or empty for 20000",
     .meaning = "spindle speed (M03 S...)"},
    {.name = "Coolant",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "on",
     .mayBeEmpty = true,
     .choices = kOnOffNames,
     .meaning = "on (M08 after the spindle starts) or off (no coolant word)"},
    {.name = "ClearanceZ",
     .type = SettingType::Number,
     .unit = "mm",
     .builtIn = "",
     .most = 1000.0,
     .mayBeEmpty = true,
     .range = "at least txtSaveZ and at most 1000, or empty for the dialect's own (classic 80, "
              "linuxcnc and grbl txtSaveZ)",
     .meaning = "height of the first and last moves, clear of the work and its clamps"},
    {.name = "Park",
     .type = SettingType::Place,
     .unit = "mm",
     .builtIn = "",
     .least = -10000.0,
     .leastIncluded = true,
     .most = 10000.0,
     .mayBeEmpty = true,
     .range = "X,Y in work coordinates, each from -10000 to 10000; none: no park move; empty for "
              "the dialect's own (classic 10,300, linuxcnc and grbl none)",
     .meaning = "where the last move takes the tool, at ClearanceZ"},

    // The work origin.
    {.name = "Origin",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "page",
     .mayBeEmpty = true,
     .choices = kWorkOriginNames,
     .meaning = "where X0 Y0 lies: page (the page's lower-left corner), drawing (the lower-left "
                "corner of the shapes cut, before any tool offset: zero the machine on the "
                "stock's corner) or centre (the middle of those shapes)"},

    // Operations: the cut's sense beside the line.
    {.name = "Direction",
     .type = SettingType::Choice,
     .unit = "",
     .builtIn = "drawing",
     .mayBeEmpty = true,
     .choices = kCutDirectionNames,
     .meaning = "with ToolOffset outside or inside, the sense of each closed cut (M3 spindle): "
                "climb (the outside of a shape clockwise, its inside counter-clockwise), "
                "conventional (the opposite) or drawing (as drawn)"},

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
