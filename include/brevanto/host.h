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
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brevanto/brevanto.h"
#include "brevanto/program_observer.h"
#include "brevanto/settings.h"

namespace brevanto {

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

// One operation of a job: the settings its shapes are cut with (a whole
// JobSettings: the base settings with the operation's own values over them)
// and the shapes it selected, by shape key. Its name is for messages.
struct JobOperation {
  std::string name{};
  JobSettings settings{};
  std::vector<int32_t> shapeKeys{};
  // Where it comes in the cutting order (lower first). Operations of equal
  // order may be interleaved to save tool changes.
  double order = 0.0;
  // Whether it cuts its closed shapes through (a profile; not an
  // engraving): what lies inside such a shape is cut before it, whatever
  // operation cuts that.
  bool cutsThrough = true;
};

struct JobOptions {
  // The settings as typed values (see readSettings in brevanto/settings.h);
  // when set, no store is read.
  std::optional<JobSettings> typedSettings{};
  // Otherwise where the settings come from; empty: the platform's store.
  SettingsSource settings{};
  // The program goes to `program` when it is set: any stream, written as the
  // stream buffers it. Otherwise to the file `programPath` (empty: the
  // platform's place), after the settings and records are accepted: written
  // beside it and put in its place only when complete, so a failed or killed
  // job leaves the earlier program whole (where the system refuses that, it
  // is written in place and left empty if it cannot be written whole). A
  // read-only file is refused. In a dialect with a digit limit, a number
  // that would lose a digit ends the job as its block is written: the
  // stream then holds the blocks before it, so a host writes a staged file
  // and puts it in place only when the job succeeded (the command does).
  std::ostream* program = nullptr;
  std::string programPath{};
  // Told every block of the program as it is written (its numbers as the
  // text states them), for a host that sums up, draws or measures the program
  // without reading it back.
  ProgramObserver* observer = nullptr;
  // With a tolerance (mm, above 0) and a check, a job that writes shape by
  // shape (no cut-out stage, no digit limit) measures each shape with the
  // check before writing it; a shape that strays further than the tolerance
  // is made again, a bounded number of times: joined at a quarter of the
  // precision, then of that, up to four times, and with its curves cut in
  // two, up to three times (first, where the arcs its curves are sampled
  // into stray further than the tolerance themselves). Only the shapes that
  // stray are refined.
  double tolerance = 0.0;
  ShapeCheck* shapeCheck = nullptr;
  // Operations, each shape with its operation's settings (a shape no
  // operation selects is not cut; one several select is cut by the first),
  // in their `order`, then in this one, except that a shape cut through
  // comes after every selected shape inside it. The job's settings give the
  // joining precision, the dialect, the work origin and the first and last
  // moves. A tool change stands between two operations of different
  // tools. Empty: every shape with the job's settings, as sp cuts them.
  std::vector<JobOperation> operations{};
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

  // Filled when CutOrder or ToolOffset asks for more than the defaults, or
  // Tabs or LeadIn need to know parts from holes.
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

  // Holding tabs, ramps and leads (Tabs, RampAngle, LeadIn): how many the
  // program has (ramps: passes entered by one; leads: arcs in and out), the
  // shapes (by key) that got fewer tabs than asked, and those that went
  // without a lead because none fits in the waste.
  int32_t tabs = 0;
  int32_t ramps = 0;
  int32_t leads = 0;
  struct FewerTabs {
    int32_t shapeKey = 0;
    int32_t placed = 0;
    int32_t asked = 0;
  };
  std::vector<FewerTabs> fewerTabs;
  std::vector<int32_t> shapesWithoutLead;
  // Where they are, for a picture: each a line of points in the plane (x0,
  // y0, x1, y1, ...); a tab as the bridge it leaves on the part's edge, a
  // ramp as the stretch the first pass descends on.
  struct EntryStroke {
    enum class Kind : uint8_t { Tab, Ramp, Lead };
    Kind kind = Kind::Tab;
    std::vector<double> xy;
  };
  std::vector<EntryStroke> entryStrokes;
  // What Origin moved the drawing by: the program's X and Y are the
  // drawing's plus these (0 with Origin=page).
  double originShiftX = 0.0;
  double originShiftY = 0.0;

  // With operations: per shape as written, the index of its operation, and
  // the tool changes made between operations.
  std::vector<int32_t> writtenOperations;
  int32_t toolChanges = 0;
  // With operations: per shape as written, the key of the drawn shape it
  // cuts and how far its path keeps from that shape's outline (the tool's
  // radius for a part or hole cut beside the line, 0 on the line), or that
  // it clears an area (a pocket's rings, a fill's lines), which a distance
  // from the outline does not describe.
  struct WrittenCut {
    int32_t drawnKey = 0;
    double beside = 0.0;  // mm
    bool clearsArea = false;
  };
  std::vector<WrittenCut> writtenCuts;

  // Pockets (Kind=pocket): per pocket cleared, its drawn shape's key, the
  // tool's diameter, about how much of its area (mm2) the tool cannot reach
  // (corners sharper than the tool's round, places narrower than the tool),
  // and where: the places too narrow for it, then the corners that keep most.
  struct PocketLeft {
    int32_t shapeKey = 0;
    double toolDiameter = 0.0;
    bool cleared = true;  // false: the tool fits nowhere in it
    double area = 0.0;
    std::vector<double> where;     // x0, y0, x1, y1, ...
    std::vector<int32_t> islands;  // the keys of the holes left standing in it
  };
  std::vector<PocketLeft> pockets;

  // Refinement to keep the tolerance (JobOptions::tolerance): whether the job
  // applied it shape by shape, how many shapes it made again, the finest
  // precision any shape was joined at (0: none finer than the settings'),
  // how many times the curves of a shape were cut in two at most, and the
  // largest distance a shape strayed as the check measured it when written.
  bool refinedInJob = false;
  int32_t shapesRefined = 0;
  double finestPrecision = 0.0;
  int32_t mostSplitRounds = 0;
  double largestStray = 0.0;

  [[nodiscard]] bool ok() const { return result >= -1; }
};

// Both halves of the cubic of `s` at t = 1/2 (de Casteljau): the same curve,
// exactly, in two records that keep the record's length, shape and colour.
std::pair<Segment, Segment> splitCurve(const Segment& s);

// `records` with every curve cut in two (splitCurve), lines as they are.
std::vector<Segment> splitCurves(std::span<const Segment> records);

// Whether every curve length from `shorter` to `longer` (as a record's
// float) gives a curve the same samples: the job cuts a curve into steps by
// the whole millimetres of its length, up to a cap. A host measuring a
// curve's length need measure it only until this holds for the bounds it
// has found.
bool sameCurveSampling(float shorter, float longer);

// Runs one job over `segments`: intake, arc joining, line joining, cut-out
// (nesting, tool offset and cut order, when asked for), program.
// Never throws; failures come back in the report's result and error.
JobReport runJob(std::span<const Segment> segments, const JobOptions& options);

}  // namespace brevanto
