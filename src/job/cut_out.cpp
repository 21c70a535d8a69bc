#include "job/cut_out.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

#include "gcode/program_writer.h"
#include "geometry/closed_shape.h"
#include "geometry/containment.h"
#include "geometry/loop_lobes.h"
#include "geometry/offset.h"
#include "job/cut_order.h"

namespace brevanto {
namespace {

struct ShapeRun {
  size_t first;
  size_t count;
};

std::vector<ShapeRun> shapeRuns(const std::vector<PathElement>& elements) {
  std::vector<ShapeRun> runs;
  size_t first = 0;
  for (const int32_t count : shapeCounts(elements.data(), static_cast<int32_t>(elements.size()))) {
    runs.push_back({first, static_cast<size_t>(count)});
    first += static_cast<size_t>(count);
  }
  return runs;
}

// Which way a closed shape's toolpath lies from the line, as a distance to
// the left of the direction of travel. Outside a counter-clockwise loop is
// to its right.
double leftOffset(int32_t depth, double area, ToolOffset mode, double radius) {
  const bool outward = (depth % 2 == 0) == (mode == ToolOffset::Outside);
  const bool counterClockwise = area > 0.0;
  return outward == counterClockwise ? -radius : radius;
}

// Whether a toolpath beside a loop of this sense (`area` > 0:
// counter-clockwise) must run the other way for the direction asked: climb
// with a clockwise spindle cuts an outside clockwise, an inside
// counter-clockwise.
bool reverseFor(CutDirection direction, int32_t depth, double area, ToolOffset mode) {
  if (direction == CutDirection::Drawing) return false;
  const bool outward = (depth % 2 == 0) == (mode == ToolOffset::Outside);
  const bool wantClockwise = outward == (direction == CutDirection::Climb);
  return wantClockwise == (area > 0.0);
}

// The same path run the other way.
void reversePath(std::vector<PathElement>& path) {
  std::reverse(path.begin(), path.end());
  for (PathElement& e : path) {
    e.clockwise = e.clockwise == 1 ? 0 : 1;
    if (isFullCircle(e)) continue;
    std::swap(e.startX, e.endX);
    std::swap(e.startY, e.endY);
    std::swap(e.startAngle, e.endAngle);
  }
}

// The toolpath of one closed shape, stretch by stretch.
void offsetShape(const std::vector<PathElement>& elements, const ShapeRun& run,
                 const std::vector<PathCurve>& loop, double leftDistance, int32_t node,
                 const ToolClearance& clearance, size_t loopNumber, std::vector<CutPath>& paths,
                 JobReport& report) {
  const PathElement& first = elements[run.first];
  const LoopOffset offset = offsetLoop(loop, leftDistance, clearance, loopNumber);
  for (const OffsetPiece& piece : offset.pieces) {
    CutPath path;
    path.node = node;
    for (const PathCurve& c : piece.curves) {
      const int32_t colour =
          c.source >= 0 ? elements[static_cast<size_t>(c.source)].colourIndex : first.colourIndex;
      appendElements(c, first.shapeKey, colour, path.elements);
    }
    if (!path.elements.empty()) paths.push_back(std::move(path));
  }
  for (const OffsetMisfit& m : offset.misfits) {
    report.toolMisfits.push_back({first.shapeKey, m.at.x, m.at.y, m.droppedLength});
  }
}

}  // namespace

void cutOut(std::vector<PathElement>& elements, const JobSettings& settings, JobReport& report,
            std::vector<ShapeEntry>* entries) {
  const std::vector<ShapeRun> runs = shapeRuns(elements);
  std::vector<std::vector<PathCurve>> loops(runs.size());
  // Each closed loop as the lobes it is filled as (mostly the loop alone),
  // and the area they enclose.
  std::vector<std::vector<std::vector<PathCurve>>> lobes(runs.size());
  std::vector<double> enclosed(runs.size(), 0.0);
  for (size_t s = 0; s < runs.size(); ++s) {
    const PathElement* e = elements.data() + runs[s].first;
    if (closesOnItself(e[0], e[runs[s].count - 1])) {
      loops[s] =
          shapeLoop(e, static_cast<int32_t>(runs[s].count), static_cast<int32_t>(runs[s].first));
      lobes[s] = loopLobes(loops[s]);
      for (const std::vector<PathCurve>& lobe : lobes[s]) enclosed[s] += std::fabs(loopArea(lobe));
    }
  }
  const Nesting nest = nestShapes(loops, enclosed);
  std::vector<const std::vector<PathCurve>*> outlines;
  report.shapes.reserve(runs.size());
  for (size_t s = 0; s < runs.size(); ++s) {
    const int32_t depth = nest.depth[s];
    report.shapes.push_back({elements[runs[s].first].shapeKey, depth});
    if (depth < 0) {
      ++report.openShapes;
    } else {
      ++(depth % 2 == 0 ? report.parts : report.holes);
      for (const std::vector<PathCurve>& lobe : lobes[s]) outlines.push_back(&lobe);
    }
    report.crossingShapes += nest.crossing[s];
  }

  const double radius = static_cast<double>(settings.toolDiameter) * 0.5;
  const bool offset = settings.toolOffset != ToolOffset::None && radius > 0.0;
  std::vector<CutPath> paths;
  std::vector<int32_t> pathShape;  // per path: the shape it cuts
  std::vector<int> pathSide;       // per path: the side its waste is on (0: none)
  // Kept for the writer where leads must be kept clear of every outline.
  std::shared_ptr<const ToolClearance> kept;
  {
    const auto shared =
        std::make_shared<const ToolClearance>(offset ? outlines : decltype(outlines){}, radius);
    const ToolClearance& clearance = *shared;
    if (offset && settings.leadIn > 0.0F) kept = shared;
    size_t loopNumber = 0;
    for (size_t s = 0; s < runs.size(); ++s) {
      const auto node = static_cast<int32_t>(nest.depth[s] < 0 ? -1 : static_cast<int32_t>(s));
      if (offset && node >= 0) {
        // A lobe that turns the other way has its outside on the other side.
        for (const std::vector<PathCurve>& lobe : lobes[s]) {
          const double area = lobes[s].size() > 1 ? loopArea(lobe) : nest.area[s];
          const double left = leftOffset(nest.depth[s], area, settings.toolOffset, radius);
          const size_t made = paths.size();
          offsetShape(elements, runs[s], lobe, left, node, clearance, loopNumber++, paths, report);
          if (reverseFor(settings.direction, nest.depth[s], area, settings.toolOffset)) {
            for (size_t p = made; p < paths.size(); ++p) reversePath(paths[p].elements);
          }
          // The toolpath runs in the waste: further out to the same side.
          pathSide.resize(paths.size(), left > 0.0 ? 1 : -1);
        }
        pathShape.resize(paths.size(), static_cast<int32_t>(s));
        continue;
      }
      CutPath path;
      path.node = node;
      path.elements.assign(
          elements.begin() + static_cast<std::ptrdiff_t>(runs[s].first),
          elements.begin() + static_cast<std::ptrdiff_t>(runs[s].first + runs[s].count));
      paths.push_back(std::move(path));
      pathShape.push_back(static_cast<int32_t>(s));
      pathSide.push_back(0);
    }
  }
  loops = {};
  lobes = {};

  CutOrderResult order;
  if (settings.cutOrder == CutOrder::InsideFirst) {
    order = orderInsideFirst(paths, nest.parent);
  } else {
    order.firstElement.assign(paths.size(), 0);
    for (size_t i = 0; i < paths.size(); ++i) order.order.push_back(i);
    order.rapidLengthBefore = order.rapidLengthAfter =
        rapidLength(paths, order.order, order.firstElement);
  }
  report.rapidLengthBefore = order.rapidLengthBefore;
  report.rapidLengthAfter = order.rapidLengthAfter;

  elements.clear();
  // Keys for stretches that need one of their own: above every key in use
  // (or, when that would overflow, next to the one taken).
  int64_t freeKey = std::numeric_limits<int32_t>::min();
  for (const CutPath& p : paths) {
    for (const PathElement& e : p.elements) freeKey = std::max<int64_t>(freeKey, e.shapeKey);
  }
  ++freeKey;
  bool anyWritten = false;
  int32_t lastKey = 0;
  for (const size_t i : order.order) {
    std::vector<PathElement>& shape = paths[i].elements;
    if (shape.empty()) continue;
    rotateToStart(shape, order.firstElement[i]);
    // The writer takes neighbouring runs of one key for one shape.
    const int32_t key = shape.front().shapeKey;
    if (anyWritten && key == lastKey) {
      const int32_t next = freeKey <= std::numeric_limits<int32_t>::max()
                               ? static_cast<int32_t>(freeKey++)
                           : key == std::numeric_limits<int32_t>::max() ? key - 1
                                                                        : key + 1;
      for (PathElement& e : shape) e.shapeKey = next;
    }
    lastKey = shape.front().shapeKey;
    anyWritten = true;
    report.writtenShapes.push_back(pathShape[i]);
    if (entries != nullptr) {
      const int32_t depth = nest.depth[static_cast<size_t>(pathShape[i])];
      ShapeEntry entry{.role = depth < 0        ? ShapeEntry::Role::Open
                               : depth % 2 == 0 ? ShapeEntry::Role::Part
                                                : ShapeEntry::Role::Hole,
                       .side = pathSide[i],
                       .drawnKey = report.shapes[static_cast<size_t>(pathShape[i])].shapeKey,
                       .fits = {}};
      if (kept) entry.fits = [kept](Point2 p) { return kept->room(p) >= 0.0; };
      entries->push_back(std::move(entry));
    }
    elements.insert(elements.end(), shape.begin(), shape.end());
    shape = {};
  }
}

}  // namespace brevanto
