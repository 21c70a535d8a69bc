#include "job/job.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>

#include "gcode/gcode_writer.h"
#include "gcode/program_writer.h"
#include "geometry/arc_joining.h"
#include "geometry/colour_palette.h"
#include "geometry/curve_flattening.h"
#include "geometry/line_joining.h"
#include "job/cut_out.h"
#include "job/job_error.h"
#include "job/joining_loop.h"
#include "job/program_file.h"

namespace brevanto {
namespace {

// Element counts travel as 32-bit ints through the joining protocol and the
// result; a list that could not be counted that way is refused up front.
constexpr size_t kMaxElements = INT32_MAX - 2;

PathElement lineElement(const Segment& s) {
  PathElement e;
  e.startX = s.x0;
  e.startY = s.y0;
  e.endX = s.x3;
  e.endY = s.y3;
  // The caller's measurement, not the distance between the end points.
  e.length = static_cast<double>(s.length);
  return e;
}

// A point the job reads that is not a finite number would reach the program
// as "Xnan" or "Xinf", which a controller may read as anything: the record is
// refused, by its index, before anything is written. A line's control points
// are never read, so they may hold anything.
void checkFinite(const Segment& s, int64_t index) {
  const struct {
    double x, y;
    const char* what;
  } points[] = {{s.x0, s.y0, "start point"},
                {s.x3, s.y3, "end point"},
                {s.x1, s.y1, "first control point"},
                {s.x2, s.y2, "second control point"}};
  const size_t read = s.kind == 1 ? 4 : 2;
  for (size_t i = 0; i < read; ++i) {
    if (std::isfinite(points[i].x) && std::isfinite(points[i].y)) continue;
    throw JobError(BREVANTO_NON_FINITE_COORDINATE, "segment " + std::to_string(index) + ": its " +
                                                       points[i].what + " is not a finite number");
  }
}

// 4. The program, to the host's stream or to the program file.
void writeProgramOut(const std::vector<PathElement>& elements, const CncSettings& settings,
                     const JobOptions& options) {
  const auto count = static_cast<int32_t>(elements.size());
  checkWritable(elements.data(), count, settings);
  const BlockStyle style = blockStyle(settings);
  if (options.program != nullptr) {
    GcodeWriter writer(*options.program, false, style);
    writeProgram(elements.data(), count, settings, writer);
    if (!*options.program) throw JobError(BREVANTO_OUTPUT_FAILED, "cannot write the program");
    return;
  }
  ProgramFile file(options.programPath.empty() ? defaultProgramPath() : options.programPath);
  // The library's own file: every line reaches the file as it is written.
  GcodeWriter writer(file.stream(), true, style);
  writeProgram(elements.data(), count, settings, writer);
  file.finish();
}

int32_t runStages(const Segment* segments, const int32_t* lastIndex, const JobOptions& options,
                  JobReport& report) {
  // 0. One snapshot of the settings; a refused value ends the job before
  //    anything is read or written.
  const CncSettings settings =
      loadSettings(options.settings ? options.settings : platformSettings());
  std::vector<PathElement> elements = intake(segments, lastIndex, report);
  joinElements(elements, settings, report);
  // 3b. Nesting, tool offset and cut order, only when a setting asks: the
  //     default program is the list as joined.
  if (settings.cutOrder != CutOrder::Drawing || settings.toolOffset != ToolOffset::None) {
    cutOut(elements, settings, report);
  }
  writeProgramOut(elements, settings, options);
  // 5. Index of the last element written.
  return static_cast<int32_t>(elements.size()) - 1;
}

}  // namespace

std::vector<PathElement> intake(const Segment* segments, const int32_t* lastIndex,
                                JobReport& report) {
  std::vector<PathElement> out;
  if (segments == nullptr || lastIndex == nullptr) return out;
  if (*lastIndex >= 0) {
    // The caller vouches for the array size; don't trust it blindly for memory.
    out.reserve(std::min<size_t>(static_cast<size_t>(*lastIndex) + 1, size_t{1} << 20));
  }
  // Neighbouring records nearly always share one colour, and the match (a
  // pure function, a search of the whole palette) costs more than the rest of
  // the intake: match each run of equal colours once.
  bool matched = false;
  int32_t matchedColour = 0;
  ColourIndex matchedIndex = 0;
  // The colour is matched before the kind is looked at, and only kind 1 is a
  // curve. A 64-bit index cannot overflow at INT32_MAX.
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) {
    const Segment& s = segments[i];
    checkFinite(s, i);
    if (!matched || s.colour != matchedColour) {
      matchedIndex = NearestColourIndex(s.colour);
      matchedColour = s.colour;
      matched = true;
    }
    const size_t first = out.size();
    if (s.kind == 1) {
      CurveFlattening(s, out);
    } else {
      out.push_back(lineElement(s));
    }
    for (size_t j = first; j < out.size(); ++j) {
      out[j].shapeKey = s.shapeKey;
      out[j].colourIndex = matchedIndex;
    }
    if (out.size() > kMaxElements) {
      throw JobError(BREVANTO_OUT_OF_MEMORY,
                     "out of memory: the drawing has too many path elements");
    }
    ++report.segmentsRead;
  }
  report.elementsAfterIntake = static_cast<int32_t>(out.size());
  return out;
}

void joinElements(std::vector<PathElement>& elements, const CncSettings& settings,
                  JobReport& report) {
  // The scratch list lives only for the joining.
  std::vector<PathElement> scratch;
  const double precision = settings.precision;
  report.arcApplications = runJoiningLoop(
      elements, scratch,
      [precision](const PathElement* in, PathElement* out, const int32_t* count) {
        return ArcMerge(in, out, count, precision);
      },
      1);
  report.elementsAfterArcJoining = static_cast<int32_t>(elements.size());
  report.lineApplications = runJoiningLoop(
      elements, scratch,
      [precision](const PathElement* in, PathElement* out, const int32_t* count) {
        return LineMerge(in, out, count, precision);
      },
      0);
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
