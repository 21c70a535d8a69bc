// The typed settings of a job (JobSettings and the enums of its choices)
// and the shape of one row of the settings table.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace brevanto {

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
  Pocket,     // the router clears the area a closed shape encloses, its holes left standing
};

// "PocketStrategy": how a pocket's area is cleared.
enum class PocketStrategy {
  Offset,  // rings parallel to the outline, from the middle out
  Zigzag,  // lines along X to and fro, then the outermost rings
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
  [[nodiscard]] bool laser() const {
    return kind == OperationKind::LaserCut || kind == OperationKind::LaserFill;
  }

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

  // Pockets (Kind=pocket).
  PocketStrategy pocketStrategy = PocketStrategy::Offset;  // PocketStrategy
  float stepOver = 40.0F;                                  // StepOver, percent of txtWZDia
  float finishAllowance = 0.0F;                            // FinishAllowance, mm
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

}  // namespace brevanto
