#pragma once

#include <cstddef>
#include <vector>

#include "geometry/path_curve.h"
#include "geometry/point2.h"
#include "settings/settings.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// A closed outline as the corners of a polygon, the last joined to the first.
using FillRing = std::vector<Point2>;

// The loop of curves as a ring, its arcs flattened to chords that stray no
// more than `tolerance` from them (at most kMostChordsPerArc chords an arc).
inline constexpr size_t kMostChordsPerArc = 4096;
FillRing ringOf(const std::vector<PathCurve>& loop, double tolerance);

// How far the chords of a fill's outline may stray from its arcs: a tenth of
// the line interval, and never more than 0.01 mm.
double fillTolerance(const JobSettings& settings);

// One burnt stretch of a fill line, in its direction of travel.
struct FillLine {
  Point2 from;
  Point2 to;
};

// Lines burnt one after the other, joined at their ends with the beam off;
// a new run starts with a rapid.
using FillRun = std::vector<FillLine>;

// The hatching of one region: the area inside an odd number of its rings
// (an outline and the holes in it), crossed by parallel lines LineInterval
// apart at FillAngle, each line in the middle of its band, so that lines as
// wide as the interval cover the area. The lines of neighbouring bands that
// overlap are joined into runs, turning back at each end when Bidirectional;
// each next run is the one that starts nearest (up to 2000 runs).
// Takes time in n log n of the outline's chords and the lines' ends.
std::vector<FillRun> hatchRegion(const std::vector<FillRing>& rings, const JobSettings& settings);

// How many line ends the hatching of the rings would make (counted up to
// most + 1), to refuse a fill that cannot be held before any is made.
size_t fillLineEnds(const std::vector<FillRing>& rings, const JobSettings& settings, size_t most);

// The moves of one region, `Passes` times: a rapid to each run, every line
// run at the cutting feed with the beam's power, Overscan before and after it with the
// beam off (G1 ... S0), the power stated only where it changes.
void planFill(const std::vector<FillRun>& runs, const JobSettings& settings, double power,
              MoveSink& sink);

}  // namespace brevanto
