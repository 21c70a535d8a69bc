#include "job/pocket_job.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "base/job_error.h"
#include "gcode/number_format.h"
#include "gcode/program_writer.h"
#include "geometry/closed_shape.h"
#include "geometry/containment.h"
#include "geometry/loop_lobes.h"
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

struct Extent {
  double width = 0.0, height = 0.0;
};

// The size of a box round the outline (an arc's whole circle counted):
// never smaller than the outline's own.
Extent extentOf(const std::vector<PathCurve>& outline) {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  for (const PathCurve& c : outline) {
    const double r = c.isArc() ? c.radius : 0.0;
    for (const Point2 p : {c.start, c.end}) {
      minX = std::min({minX, p.x, c.isArc() ? c.centre.x - r : p.x});
      maxX = std::max({maxX, p.x, c.isArc() ? c.centre.x + r : p.x});
      minY = std::min({minY, p.y, c.isArc() ? c.centre.y - r : p.y});
      maxY = std::max({maxY, p.y, c.isArc() ? c.centre.y + r : p.y});
    }
  }
  return {maxX - minX, maxY - minY};
}

// Half the width of the region's box: no ring lies further in.
double halfWidth(const std::vector<PathCurve>& outline) {
  const Extent e = extentOf(outline);
  return 0.5 * std::min(e.width, e.height);
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

// Where the tool leaves something of the region: the places too narrow for
// it, then the corners sharper than its round, those that keep most first.
std::vector<double> placesLeft(const std::vector<std::vector<PathCurve>>& region,
                               const PocketRings& rings, double r) {
  constexpr size_t kMostPlaces = 8;
  constexpr double kLeastCorner = 1e-4;  // mm2
  std::vector<double> where;
  for (const Point2 p : rings.misfits) {
    if (where.size() < 2 * kMostPlaces) where.insert(where.end(), {p.x, p.y});
  }
  std::vector<std::pair<double, Point2>> corners;
  for (const std::vector<PathCurve>& loop : region) {
    for (size_t i = 0; i < loop.size(); ++i) {
      const Point2 a = directionAt(loop[i], 1.0);
      const Point2 b = directionAt(loop[(i + 1) % loop.size()], 0.0);
      const double turn = std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
      if (!(turn > 0.0) || turn >= 3.1) continue;
      const double kept = r * r * (std::tan(0.5 * turn) - 0.5 * turn);
      if (kept > kLeastCorner) corners.emplace_back(kept, loop[i].end);
    }
  }
  std::stable_sort(corners.begin(), corners.end(),
                   [](const auto& x, const auto& y) { return x.first > y.first; });
  for (const auto& [kept, p] : corners) {
    if (where.size() >= 2 * kMostPlaces) break;
    where.insert(where.end(), {p.x, p.y});
  }
  return where;
}

}  // namespace

void checkPockets(const std::vector<PathElement>& elements, const JobSettings& settings) {
  if (!(settings.toolDiameter > 0.0F)) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   "txtWZDia: a pocket is cleared by the tool's width; give a diameter above 0");
  }
  double widest = 0.0;
  double work = 0.0;  // curves offset, ring by ring
  for (const std::vector<PathCurve>& loop : shapeLoops(elements).loops) {
    if (loop.empty()) continue;
    const double rings = halfWidth(loop) / stepOver(settings);
    widest = std::max(widest, rings);
    work += static_cast<double>(loop.size()) * (rings + 1.0);
    // A zigzag's lines along X cross the whole height.
    if (settings.pocketStrategy == PocketStrategy::Zigzag) {
      widest = std::max(widest, 0.5 * extentOf(loop).height / stepOver(settings));
    }
  }
  const std::string apart = "StepOver: rings " + std::to_string(stepOver(settings)) + " mm apart ";
  if (widest > static_cast<double>(kMostPocketRings)) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   apart + "need more than " + std::to_string(kMostPocketRings) +
                       " rings (or twice as many zigzag lines) across the widest pocket; give a "
                       "larger StepOver or txtWZDia");
  }
  if (work > kMostPocketWork) {
    throw JobError(BREVANTO_SETTINGS_REFUSED,
                   apart + "over this drawing's outlines make more than " +
                       std::to_string(static_cast<int64_t>(kMostPocketWork)) +
                       " offset curves; give a larger StepOver or txtWZDia");
  }
}

size_t planPockets(const std::vector<PathElement>& elements, const JobSettings& settings,
                   MoveSink& sink, EntryTally& tally, std::vector<JobReport::PocketLeft>* left) {
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
    std::vector<const std::vector<PathCurve>*> outlines;
    for (const std::vector<PathCurve>& loop : region) outlines.push_back(&loop);
    const double r = toolRadius(settings);
    const bool finish = settings.finishAllowance > 0.0F;
    const PocketRings last =
        finish ? pocketRings(region, ringDistances(settings, reach, true)) : PocketRings{};
    // The last pass's outermost rings: what the tool reaches at all.
    const PocketRings& outermost = finish ? last : rough;
    const bool cleared = !outermost.rings.empty();
    if (left != nullptr) {
      double area = 0.0;
      for (const std::vector<PathCurve>& loop : region) area += loopArea(loop);
      left->push_back({.shapeKey = elements[shapes.first[s]].shapeKey,
                       .toolDiameter = settings.toolDiameter,
                       .cleared = cleared,
                       .area = std::max(0.0, cleared ? area - reachedArea(outermost, r) : area),
                       .where = placesLeft(region, outermost, r),
                       .islands = {}});
      for (const size_t h : holes[s]) {
        left->back().islands.push_back(elements[shapes.first[h]].shapeKey);
      }
    }
    if (!cleared) continue;
    const ToolClearance roughReach(outlines, r + settings.finishAllowance);
    const ToolClearance lastReach(finish ? outlines : decltype(outlines){}, r);
    const PocketPass lastPass =
        finish ? PocketPass{&last, &lastReach} : PocketPass{&rough, &roughReach};
    // Where only the last pass's rings fit, every pass cuts those.
    const PocketPass roughPass = rough.rings.empty() ? lastPass : PocketPass{&rough, &roughReach};
    sink.beginShape();
    planPocket(roughPass, lastPass, settings, fixed4Value, sink, tally);
    ++written;
  }
  return written;
}

}  // namespace brevanto
