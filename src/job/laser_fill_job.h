#pragma once

#include <cstddef>
#include <vector>

#include "brevanto/program_observer.h"
#include "gcode/gcode_writer.h"
#include "geometry/path_element.h"
#include "settings/settings.h"
#include "toolpath/laser_fill.h"

namespace brevanto {

// A fill holds at most this many line ends (two a burnt stretch, each pass
// again): a finer interval over a larger drawing is refused, naming LineInterval, before
// anything is written.
inline constexpr size_t kMostFillLineEnds = 4'000'000;

// One shape of a laser-fill job as it is written: the hatching of a region,
// or an open shape burnt along its line.
struct FillShape {
  size_t first = 0, count = 0;  // the shape's elements
  bool traced = false;          // an open shape: burnt along its line
  std::vector<FillRun> runs{};  // a region's lines
};

// The shapes of a laser-fill job, in drawing order: every closed shape at an
// even depth of the nesting the cut-out uses (outermost, or an island in a
// hole) is filled with the holes directly inside it left out; holes make
// nothing of their own; open shapes are traced.
std::vector<FillShape> planFillJob(const std::vector<PathElement>& elements,
                                   const JobSettings& settings);

// The whole program of a laser-fill job.
void writeFillProgram(const std::vector<FillShape>& shapes,
                      const std::vector<PathElement>& elements, const JobSettings& settings,
                      GcodeWriter& writer, ProgramObserver* observer);

// The shapes of a fill, in order, to `sink`: the hatching of each region,
// an open shape burnt along its line. Returns how many shapes burnt
// something (holes make nothing of their own).
size_t writeFillShapes(const std::vector<FillShape>& shapes,
                       const std::vector<PathElement>& elements, const JobSettings& settings,
                       MoveSink& sink);

}  // namespace brevanto
