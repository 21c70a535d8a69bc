#include "job/laser_fill_job.h"

#include <algorithm>
#include <charconv>
#include <string>

#include "base/job_error.h"
#include "gcode/gcode_sink.h"
#include "gcode/program_writer.h"
#include "geometry/closed_shape.h"
#include "geometry/containment.h"
#include "settings/settings.h"

namespace brevanto {
namespace {

// The float as typed: its shortest text ("0.01", not its double's digits).
std::string shortest(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

}  // namespace

std::vector<FillShape> planFillJob(const std::vector<PathElement>& elements,
                                   const JobSettings& settings) {
  std::vector<FillShape> shapes;
  std::vector<std::vector<PathCurve>> loops;
  size_t first = 0;
  for (const int32_t count : shapeCounts(elements.data(), static_cast<int32_t>(elements.size()))) {
    const PathElement* e = elements.data() + first;
    shapes.push_back({.first = first, .count = static_cast<size_t>(count)});
    loops.push_back(closesOnItself(e[0], e[count - 1])
                        ? shapeLoop(e, count, static_cast<int32_t>(first))
                        : std::vector<PathCurve>{});
    first += static_cast<size_t>(count);
  }
  const Nesting nest = nestShapes(loops);
  const double tolerance = fillTolerance(settings);
  std::vector<FillRing> rings(loops.size());
  const std::vector<std::vector<size_t>> holes = directHoles(nest);
  for (size_t s = 0; s < loops.size(); ++s) {
    if (nest.depth[s] >= 0) rings[s] = ringOf(loops[s], tolerance);
  }
  loops = {};
  std::vector<std::vector<FillRing>> regions(shapes.size());
  // Every pass burns every line again.
  const size_t most = kMostFillLineEnds / static_cast<size_t>(std::max(settings.passes, 1));
  size_t ends = 0;
  for (size_t s = 0; s < shapes.size(); ++s) {
    shapes[s].traced = nest.depth[s] < 0;
    if (nest.depth[s] < 0 || nest.depth[s] % 2 == 1) continue;
    regions[s].push_back(rings[s]);
    for (const size_t h : holes[s]) regions[s].push_back(rings[h]);
    ends += fillLineEnds(regions[s], settings, most - ends);
    if (ends > most) {
      throw JobError(BREVANTO_SETTINGS_REFUSED,
                     "LineInterval: lines " + shortest(settings.lineInterval) +
                         " mm apart over this drawing, burnt " + std::to_string(settings.passes) +
                         " time(s) (Passes), make more than " +
                         std::to_string(kMostFillLineEnds / 2) +
                         " fill lines; give a larger LineInterval");
    }
  }
  rings = {};
  for (size_t s = 0; s < shapes.size(); ++s) {
    if (!regions[s].empty()) shapes[s].runs = hatchRegion(regions[s], settings);
    regions[s] = {};
  }
  return shapes;
}

void writeFillProgram(const std::vector<FillShape>& shapes,
                      const std::vector<PathElement>& elements, const JobSettings& settings,
                      GcodeWriter& writer, ProgramObserver* observer) {
  GcodeSink sink(settings, writer, observer);
  sink.writeHeader();
  writeFillShapes(shapes, elements, settings, sink);
  sink.writeFooter();
}

size_t writeFillShapes(const std::vector<FillShape>& shapes,
                       const std::vector<PathElement>& elements, const JobSettings& settings,
                       MoveSink& sink) {
  const double power = laserPower(settings);
  size_t written = 0;
  for (const FillShape& shape : shapes) {
    if (shape.traced) {
      planShape(elements.data() + shape.first, static_cast<int32_t>(shape.count), settings, sink);
    } else if (!shape.runs.empty()) {
      planFill(shape.runs, settings, power, sink);
    } else {
      continue;  // a hole: left out of the shape around it
    }
    ++written;
  }
  return written;
}

}  // namespace brevanto
