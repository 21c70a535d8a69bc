#include "job/job.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include "base/job_error.h"
#include "gcode/dialect.h"
#include "gcode/gcode_sink.h"
#include "gcode/gcode_writer.h"
#include "gcode/program_writer.h"
#include "geometry/arc_joining.h"
#include "geometry/curve_flattening.h"
#include "geometry/line_joining.h"
#include "job/cut_out.h"
#include "job/joining_loop.h"
#include "job/laser_fill_job.h"
#include "job/operations_job.h"
#include "job/pocket_job.h"
#include "job/program_file.h"
#include "job/record_intake.h"
#include "job/shape_refinement.h"
#include "job/work_origin.h"

namespace brevanto {
namespace {

// The applications a joining loop over the whole list would have counted:
// the list is settled when its last shape is, and a list of two or more
// elements is passed at least once even when no shape of it has two.
struct ApplicationCount {
  int32_t most = 0;
  void add(int32_t applications) { most = std::max(most, applications); }
  [[nodiscard]] int32_t total(int32_t elements) const {
    return elements >= 2 ? std::max(most, 1) : 0;
  }
};

// 1.-4., shape by shape. The joining passes join only neighbours of one
// shape, and their walk starts afresh at every shape, so joining each shape
// on its own gives the list joined whole; the writer writes shape after
// shape. The job then holds one shape's elements at a time, whatever the
// size of the drawing. Every record is checked before the first line is
// written, as when the whole list is made first.
//
// With a tolerance and a check, each shape is measured before it is written
// and made again finer where it strays (ShapeRefinement): only the shapes
// that stray cost more than one making.
int32_t streamShapes(const Segment* segments, const int32_t* lastIndex, const JobSettings& settings,
                     GcodeWriter& writer, const JobOptions& options, JobReport& report) {
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) checkFinite(segments[i], i);
  GcodeSink sink(settings, writer, options.observer);
  sink.writeHeader();
  const bool refine = options.tolerance > 0.0 && options.shapeCheck != nullptr;
  report.refinedInJob = refine;
  ShapeRefinement refinement(settings, options, writer, blockStyle(settings), report);
  RecordIntake records;
  std::vector<PathElement> shape;
  std::vector<PathElement> next;
  std::vector<Segment> shapeRecords;  // with a tolerance: the shape's records, taken in whole
  size_t intakeCount = 0, afterArcs = 0, afterLines = 0;
  ApplicationCount arcPasses, linePasses;
  const auto finishShape = [&] {
    JobReport counts;
    if (refine) {
      if (shapeRecords.empty()) return;
      refinement.write(shapeRecords, counts);
      intakeCount += static_cast<size_t>(counts.elementsAfterIntake);
      checkElementCount(intakeCount);
      shapeRecords.clear();
    } else {
      if (shape.empty()) return;
      joinElements(shape, settings, counts);
      counts.elementsAfterLineJoining = static_cast<int32_t>(shape.size());
      planShape(shape.data(), static_cast<int32_t>(shape.size()), settings, sink);
      shape.clear();
    }
    afterArcs += static_cast<size_t>(counts.elementsAfterArcJoining);
    afterLines += static_cast<size_t>(counts.elementsAfterLineJoining);
    arcPasses.add(counts.arcApplications);
    linePasses.add(counts.lineApplications);
  };
  // A shape is a run of elements with one key: a record whose elements carry
  // another key than the run so far starts the next shape. Every record the
  // job accepts gives at least one element (a line one, a curve of a usable
  // length at least one arc), so with a tolerance, where the refinement takes
  // in a shape's records itself, a record of another key starts the next one.
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) {
    const Segment& s = segments[i];
    ++report.segmentsRead;
    if (refine) {
      if (!shapeRecords.empty() && s.shapeKey != shapeRecords.back().shapeKey) finishShape();
      shapeRecords.push_back(s);
      continue;
    }
    const size_t first = shape.size();
    records.append(s, shape);
    intakeCount += shape.size() - first;
    checkElementCount(intakeCount);
    if (first > 0 && shape.size() > first && s.shapeKey != shape[first - 1].shapeKey) {
      next.assign(shape.begin() + static_cast<std::ptrdiff_t>(first), shape.end());
      shape.resize(first);
      finishShape();
      shape.swap(next);
    }
  }
  finishShape();
  sink.writeFooter();
  report.elementsAfterIntake = static_cast<int32_t>(intakeCount);
  report.elementsAfterArcJoining = static_cast<int32_t>(afterArcs);
  report.elementsAfterLineJoining = static_cast<int32_t>(afterLines);
  report.arcApplications = arcPasses.total(report.elementsAfterIntake);
  report.lineApplications = linePasses.total(report.elementsAfterArcJoining);
  return static_cast<int32_t>(afterLines) - 1;
}

// 4. The program, to the host's stream or to the program file.
// A laser-fill job writes its regions' lines instead of the elements.
void writeProgramOut(const std::vector<PathElement>& elements, const JobSettings& settings,
                     const JobOptions& options, const std::vector<ShapeEntry>& entries,
                     JobReport& report) {
  const auto count = static_cast<int32_t>(elements.size());
  checkWritable(elements.data(), count, settings);
  EntryTally tally;
  std::vector<FillShape> fill;
  if (settings.kind == OperationKind::LaserFill) fill = planFillJob(elements, settings);
  if (settings.kind == OperationKind::Pocket) checkPockets(elements, settings);
  writeOut(settings, options, [&](GcodeWriter& writer) {
    if (settings.kind == OperationKind::LaserFill) {
      writeFillProgram(fill, elements, settings, writer, options.observer);
    } else if (settings.kind == OperationKind::Pocket) {
      GcodeSink sink(settings, writer, options.observer);
      sink.writeHeader();
      planPockets(elements, settings, sink, tally, &report.pockets);
      sink.writeFooter();
    } else {
      writeProgram(elements.data(), count, settings, writer, options.observer, entries, &tally);
    }
  });
  reportEntries(tally, report);
}

// A job that can be written shape by shape as its records are read: one
// without a stage that needs every shape at once (nesting, offset, cut
// order, work origin, tabs, ramps, leads, fill). In a dialect with a digit
// limit a number that would lose a digit refuses the program as its block is
// written, part way through: that is safe in a host's stream (the command
// writes a staged file and puts it in place only when the job succeeded), but
// the library's own file may have to be written in place, so there the whole
// list is checked first.
bool streams(const JobSettings& settings, const JobOptions& options) {
  return settings.cutOrder == CutOrder::Drawing && settings.toolOffset == ToolOffset::None &&
         settings.origin == WorkOrigin::Page && settings.kind != OperationKind::LaserFill &&
         settings.kind != OperationKind::Pocket && !needsNesting(settings) &&
         !(settings.rampAngle < 90.0F) &&
         (options.program != nullptr || dialectRules(settings.dialect).digitLimit <= 0);
}

int32_t runStages(const Segment* segments, const int32_t* lastIndex, const JobOptions& options,
                  JobReport& report) {
  // 0. One snapshot of the settings; a refused value ends the job before
  //    anything is read or written.
  const JobSettings settings =
      options.typedSettings
          ? checkedSettings(*options.typedSettings)
          : loadSettings(options.settings ? options.settings : platformSettings());
  if (streams(settings, options) && options.operations.empty() && segments != nullptr &&
      lastIndex != nullptr) {
    checkAllFinite(segments, lastIndex);
    checkSettingWords(settings);
    const BlockStyle style = blockStyle(settings);
    if (options.program != nullptr) {
      GcodeWriter writer(*options.program, false, style);
      const int32_t last = streamShapes(segments, lastIndex, settings, writer, options, report);
      if (!*options.program) throw JobError(BREVANTO_OUTPUT_FAILED, "cannot write the program");
      return last;
    }
    ProgramFile file(options.programPath.empty() ? defaultProgramPath() : options.programPath);
    // The library's own file: every line reaches the file as it is written.
    GcodeWriter writer(file.stream(), true, style);
    const int32_t last = streamShapes(segments, lastIndex, settings, writer, options, report);
    file.finish();
    return last;
  }
  std::vector<PathElement> elements = intake(segments, lastIndex, report);
  joinElements(elements, settings, report);
  // 2b. With a tolerance and a check, each shape measured as cut on its line
  //     before the stages that move or offset it, and refined where it
  //     strays (their paths lie as far from its curves as its own).
  if (options.tolerance > 0.0 && options.shapeCheck != nullptr && segments != nullptr &&
      lastIndex != nullptr && *lastIndex >= 0) {
    std::ostringstream unused;
    GcodeWriter scratch(unused, false, blockStyle(settings));
    ShapeRefinement refinement(settings, options, scratch, blockStyle(settings), report);
    refinement.refineOnLine({segments, static_cast<size_t>(*lastIndex) + 1}, elements, report);
  }
  // 3a. The work origin, on the joined path before any offset.
  const Point2 shift = placeWorkOrigin(elements, settings.origin);
  report.originShiftX = shift.x;
  report.originShiftY = shift.y;
  if (options.observer != nullptr && settings.origin != WorkOrigin::Page) {
    options.observer->originMoved(shift.x, shift.y);
  }
  if (!options.operations.empty()) return writeOperations(elements, settings, options, report);
  // 3b. Nesting, tool offset and cut order, only when a setting asks: the
  //     default program is the list as joined.
  std::vector<ShapeEntry> entries;
  if (settings.kind != OperationKind::Pocket &&
      (settings.cutOrder != CutOrder::Drawing || settings.toolOffset != ToolOffset::None ||
       needsNesting(settings))) {
    cutOut(elements, settings, report, &entries);
  }
  writeProgramOut(elements, settings, options, entries, report);
  // 5. Index of the last element written.
  return static_cast<int32_t>(elements.size()) - 1;
}

}  // namespace

void writeOut(const JobSettings& settings, const JobOptions& options,
              const std::function<void(GcodeWriter&)>& write) {
  const BlockStyle style = blockStyle(settings);
  if (options.program != nullptr) {
    GcodeWriter writer(*options.program, false, style);
    write(writer);
    if (!*options.program) throw JobError(BREVANTO_OUTPUT_FAILED, "cannot write the program");
    return;
  }
  ProgramFile file(options.programPath.empty() ? defaultProgramPath() : options.programPath);
  // The library's own file: every line reaches the file as it is written.
  GcodeWriter writer(file.stream(), true, style);
  write(writer);
  file.finish();
}

void joinElements(std::vector<PathElement>& elements, const JobSettings& settings,
                  JobReport& report) {
  const double precision = settings.precision;
  report.arcApplications = runJoiningLoop(
      elements, [precision](const PathElement* in, PathElement* out, const int32_t* count) {
        return ArcMerge(in, out, count, precision);
      });
  report.elementsAfterArcJoining = static_cast<int32_t>(elements.size());
  report.lineApplications = runJoiningLoop(
      elements, [precision](const PathElement* in, PathElement* out, const int32_t* count) {
        return LineMerge(in, out, count, precision);
      });
  report.elementsAfterLineJoining = static_cast<int32_t>(elements.size());
}

JobReport runGuardedJob(const Segment* segments, const int32_t* lastIndex,
                        const JobOptions& options) {
  JobReport report;
  try {
    report.result = runStages(segments, lastIndex, options, report);
  } catch (const JobError& e) {
    report.result = e.code();
    report.error = e.what();
  } catch (const std::bad_alloc&) {
    report.result = BREVANTO_OUT_OF_MEMORY;
    report.error = "out of memory";
  } catch (const std::length_error&) {  // a list larger than a vector can hold
    report.result = BREVANTO_OUT_OF_MEMORY;
    report.error = "out of memory: the drawing has too many path elements";
  } catch (const std::exception& e) {
    report.result = BREVANTO_OUT_OF_MEMORY;
    report.error = e.what();
  } catch (...) {
    report.result = BREVANTO_OUT_OF_MEMORY;
    report.error = "unexpected failure";
  }
  return report;
}

JobReport runJob(std::span<const Segment> segments, const JobOptions& options) {
  if (segments.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    JobReport report;
    report.result = BREVANTO_OUT_OF_MEMORY;
    report.error = "out of memory: the drawing has too many segments";
    return report;
  }
  const auto lastIndex = static_cast<int32_t>(segments.size()) - 1;
  return runGuardedJob(segments.data(), &lastIndex, options);
}

}  // namespace brevanto
