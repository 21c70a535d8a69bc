// Brevanto for C++ hosts: one job with its values passed in.
//
// sp() reads its settings from the platform's store and writes its program to
// the platform's fixed file. A host program (the brevanto command, a test, a
// service) chooses both instead and learns what the job did: runJob is the
// job sp runs, with the same stages, bytes, result codes and messages, and no
// state shared with any other job, so jobs may run on several threads at once.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto {

// One setting of the settings store: its name (the registry value a macro
// saves, or a line of the settings file), the value the command uses when no
// store exists, and what it means.
struct SettingInfo {
  std::string_view name;
  std::string_view builtIn;
  std::string_view meaning;
};

// Every setting a job reads, in the order it reads them.
inline constexpr SettingInfo kSettings[] = {
    {"txtFeedZ", "100", "plunge feed, mm/min"},
    {"txtMaxZ", "1.5", "depth of cut per pass, mm"},
    {"txtDepth", "2", "total depth, mm"},
    {"txtSaveZ", "5", "safe height for rapid moves, mm"},
    {"txtFeedCut", "800", "cutting feed, mm/min"},
    {"txtWZNummer", "1", "tool number"},
    {"txtWZDia", "3", "tool diameter, mm (shown in the tool change line)"},
    {"Prezision", "3",
     "joining precision: arcs within Prezision/10 degrees and alike in size, "
     "lines within Prezision/10 degrees are joined"},
    {"Dialect", "classic", "the controllers the program is written for: classic, linuxcnc or grbl"},
    {"CutOrder", "drawing",
     "drawing (list order) or inside-first (open shapes first, then every shape before any "
     "closed shape around it, each next start the nearest)"},
    {"ToolOffset", "none",
     "none (tool centre on the line), outside (parts: outlines cut outside, holes inside, by "
     "half of txtWZDia) or inside (openings: outlines cut inside, islands outside)"},
};

// A settings store: the text of the named setting, "" when it is missing.
// A job asks it for each setting of kSettings exactly once.
using SettingsSource = std::function<std::string(std::string_view name)>;

// The platform's store: the registry key a VBA macro saves to on Windows, the
// settings file defaultSettingsFilePath() names elsewhere.
SettingsSource platformSettings();

// The value `name` has in a settings file of NAME=VALUE lines ("" when the
// file or the name is missing, or the value is 255 bytes or longer).
std::string readSettingsFileValue(const std::string& path, std::string_view name);

// $BREVANTO_SETTINGS, else $XDG_CONFIG_HOME/brevanto/CNC.ini, else
// ~/.config/brevanto/CNC.ini.
std::string defaultSettingsFilePath();

// Where sp() writes: C:\Brevanto\Brevanto.tap on Windows,
// $BREVANTO_OUTPUT_DIR/Brevanto.tap (else ~/Brevanto/Brevanto.tap) elsewhere.
std::string defaultProgramPath();

struct JobOptions {
  // Where the settings come from; empty: the platform's store.
  SettingsSource settings{};
  // The program goes to `program` when it is set: any stream, written as the
  // stream buffers it. Otherwise to the file `programPath` (empty: the
  // platform's place), after the settings and records are accepted: written
  // beside it and put in its place only when complete, so a failed or killed
  // job leaves the earlier program whole (where the system refuses that, it
  // is written in place and left empty if it cannot be written whole). A
  // read-only file is refused.
  std::ostream* program = nullptr;
  std::string programPath{};
};

// A place beside a closed shape where the tool did not fit (ToolOffset): a
// slot or neck narrower than the tool, an inside arc smaller than its radius,
// a hole smaller than the tool. The toolpath is left out there rather than
// cut into the drawing.
struct ToolMisfit {
  int32_t shapeKey = 0;
  double x = 0.0;  // where on the drawing, mm
  double y = 0.0;
  double droppedLength = 0.0;  // drawn length left without its cut, mm
};

// What one job did.
struct JobReport {
  int32_t result = -1;  // what sp() returns: the last element's index, or a failure code
  std::string error;    // what spLastError() says: "" after success
  int32_t segmentsRead = 0;
  int32_t elementsAfterIntake = 0;
  int32_t elementsAfterArcJoining = 0;
  int32_t elementsAfterLineJoining = 0;
  int32_t arcApplications = 0;
  int32_t lineApplications = 0;

  // Filled when CutOrder or ToolOffset asks for more than the defaults.
  // Nesting of the closed shapes: an outline at even depth is a part, at odd
  // depth a hole in one; open shapes are engraving lines.
  int32_t parts = 0;
  int32_t holes = 0;
  int32_t openShapes = 0;
  int32_t crossingShapes = 0;  // closed shapes whose outline crosses another's
  // Rapid travel in the plane from X0 Y0 through the shapes' starts, in list
  // order and in the order written, mm.
  double rapidLengthBefore = 0.0;
  double rapidLengthAfter = 0.0;
  std::vector<ToolMisfit> toolMisfits;
  // Per shape of the joined list (each run of one key, in list order): its
  // key and nesting depth, -1 for an open shape. A host's picture tells
  // parts from holes by these.
  struct ShapeNesting {
    int32_t shapeKey = 0;
    int32_t depth = -1;
  };
  std::vector<ShapeNesting> shapes;
  // Per shape as written (each "( NEXT SHAPE )" of the program, in order):
  // its index in `shapes`.
  std::vector<int32_t> writtenShapes;

  [[nodiscard]] bool ok() const { return result >= -1; }
};

// Runs one job over `segments`: intake, arc joining, line joining, cut-out
// (nesting, tool offset and cut order, when asked for), program.
// Never throws; failures come back in the report's result and error.
JobReport runJob(std::span<const Segment> segments, const JobOptions& options);

}  // namespace brevanto
