#include "job/pocket_job.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/job_error.h"
#include "gcode/number_format.h"
#include "gcode/program_writer.h"
#include "geometry/closed_shape.h"
#include "geometry/containment.h"
#include "geometry/pocket_rings.h"
#include "toolpath/pocket_plan.h"

namespace brevanto {
namespace {

struct ShapeLoops {
  std::vector<size_t> first, count;           // each shape's elements
  std::vector<std::vector<PathCurve>> loops;  // empty for an open shape
};

ShapeLoops shapeLoops(const std::vector<PathElement>& elements) {
  ShapeLoops out;
  size_t first = 0;
  for (const int32_t count : shapeCounts(elements.data(), static_cast<int32_t>(elements.size()))) {
    const PathElement* e = elements.data() + first;
    out.first.push_back(first);
    out.count.push_back(static_cast<size_t>(count));
    out.loops.push_back(closesOnItself(e[0], e[count - 1])
                            ? shapeLoop(e, count, static_cast<int32_t>(first))
                            : std::vector<PathCurve>{});
    first += static_cast<size_t>(count);
  }
  return out;
}

// The region of part s: its outline counter-clockwise, then its holes
// clockwise, so that the area always lies to the left.
std::vector<std::vector<PathCurve>> regionOf(const ShapeLoops& shapes, const Nesting& nest,
                                             size_t s, const std::vector<size_t>& holes) {
  std::vector<std::vector<PathCurve>> region;
  region.push_back(nest.area[s] > 0.0 ? shapes.loops[s] : reversedLoop(shapes.loops[s]));
  for (const size_t h : holes) {
    region.push_back(nest.area[h] < 0.0 ? shapes.loops[h] : reversedLoop(shapes.loops[h]));
  }
  return region;
}

// Half the width of the region's box: no ring lies further in.
double halfWidth(const std::vector<PathCurve>& outline) {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (const PathCurve& c : outline) {
    for (const Point2 p : {c.start, pointAt(c, 0.25), pointAt(c, 0.5), pointAt(c, 0.75)}) {
      minX = std::min(minX, p.x);
      maxX = std::max(maxX, p.x);
      minY = std::min(minY, p.y);
      maxY = std::max(maxY, p.y);
    }
  }
  return 0.5 * std::min(maxX - minX, maxY - minY);
}

double toolRadius(const JobSettings& s) {
  return static_cast<double>(s.toolDiameter) * 0.5;
}
double stepOver(const JobSettings& s) {
  return static_cast<double>(s.toolDiameter) * static_cast<double>(s.stepOver) / 100.0;
}

// The distances from the outlines of the rings: from the tool's radius plus
// the allowance on, a step over apart, as far as `reach`; with `finish`, the
// band of the allowance is cleared from the tool's radius out too.
std::vector<double> ringDistances(const JobSettings& s, double reach, bool finish) {
  const double r = toolRadius(s);
  const double step = stepOver(s);
  const double allowance = s.finishAllowance;
  std::vector<double> d;
  if (finish && allowance > 0.0) {
    for (double at = r; at < r + allowance; at += step) d.push_back(at);
  }
  for (double k = 0.0; r + allowance + k * step <= reach + step; k += 1.0) {
    d.push_back(r + allowance + k * step);
  }
  return d;
}

}  // namespace

void checkPockets(const std::vector<PathElement>& elements, const JobSettings& settings) {
  if (!(settings.toolDiameter > 0.0F)) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   "txtWZDia: a pocket is cleared by the tool's width; give a diameter above 0");
  }
  double widest = 0.0;
  for (const std::vector<PathCurve>& loop : shapeLoops(elements).loops) {
    if (!loop.empty()) widest = std::max(widest, halfWidth(loop));
  }
  if (widest / stepOver(settings) > static_cast<double>(kMostPocketRings)) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   "StepOver: rings " + std::to_string(stepOver(settings)) +
                       " mm apart need more than " + std::to_string(kMostPocketRings) +
                       " rings across the widest pocket; give a larger StepOver or txtWZDia");
  }
}

size_t planPockets(const std::vector<PathElement>& elements, const JobSettings& settings,
                   MoveSink& sink, EntryTally& tally) {
  const ShapeLoops shapes = shapeLoops(elements);
  const Nesting nest = nestShapes(shapes.loops);
  const std::vector<std::vector<size_t>> holes = directHoles(nest);
  size_t written = 0;
  for (size_t s = 0; s < shapes.loops.size(); ++s) {
    const int32_t depth = nest.depth[s];
    if (depth < 0) {
      planShape(elements.data() + shapes.first[s], static_cast<int32_t>(shapes.count[s]), settings,
                sink, {}, &tally);
      ++written;
      continue;
    }
    if (depth % 2 == 1) continue;
    const std::vector<std::vector<PathCurve>> region = regionOf(shapes, nest, s, holes[s]);
    const double reach = halfWidth(region.front());
    const PocketRings rough = pocketRings(region, ringDistances(settings, reach, false));
    if (rough.rings.empty()) continue;
    std::vector<const std::vector<PathCurve>*> outlines;
    for (const std::vector<PathCurve>& loop : region) outlines.push_back(&loop);
    const double r = toolRadius(settings);
    const ToolClearance roughReach(outlines, r + settings.finishAllowance);
    const bool finish = settings.finishAllowance > 0.0F;
    const PocketRings last =
        finish ? pocketRings(region, ringDistances(settings, reach, true)) : PocketRings{};
    const ToolClearance lastReach(finish ? outlines : decltype(outlines){}, r);
    sink.beginShape();
    planPocket({&rough, &roughReach},
               finish ? PocketPass{&last, &lastReach} : PocketPass{&rough, &roughReach}, settings,
               fixed4Value, sink, tally);
    ++written;
  }
  return written;
}

}  // namespace brevanto
