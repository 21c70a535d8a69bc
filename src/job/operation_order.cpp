#include "job/operation_order.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <unordered_map>

#include "gcode/program_writer.h"
#include "geometry/closed_shape.h"
#include "geometry/containment.h"
#include "geometry/path_curve.h"

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

// A closed outline as chords (arcs every 5 degrees, as the nesting takes
// them) with the box around it.
struct Outline {
  std::vector<Point2> points;
  Point2 low{0.0, 0.0};
  Point2 high{0.0, 0.0};
};

Outline outlineOf(const std::vector<PathCurve>& loop) {
  Outline o;
  for (const PathCurve& c : loop) {
    const int n =
        c.isArc()
            ? std::clamp(static_cast<int>(std::ceil(std::fabs(c.sweep) / (kPi / 36.0))), 1, 72)
            : 1;
    for (int i = 0; i < n; ++i) o.points.push_back(pointAt(c, static_cast<double>(i) / n));
  }
  if (o.points.empty()) return o;
  o.low = o.high = o.points.front();
  for (const Point2 p : o.points) {
    o.low = {std::min(o.low.x, p.x), std::min(o.low.y, p.y)};
    o.high = {std::max(o.high.x, p.x), std::max(o.high.y, p.y)};
  }
  return o;
}

// Even-odd: whether `p` lies inside the outline.
bool encloses(const Outline& o, Point2 p) {
  if (o.points.size() < 3 || p.x < o.low.x || p.x > o.high.x || p.y < o.low.y || p.y > o.high.y) {
    return false;
  }
  bool inside = false;
  for (size_t i = 0, j = o.points.size() - 1; i < o.points.size(); j = i++) {
    const Point2 a = o.points[i], b = o.points[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
      inside = !inside;
    }
  }
  return inside;
}

// The selected drawn shapes (by key) and, per shape, the innermost closed
// shape around it: a closed one by the nesting, an open one (or a loop
// that encloses nothing) by its first point.
struct DrawnNesting {
  std::unordered_map<int32_t, size_t> number;
  std::vector<int32_t> parent;
  std::vector<uint8_t> closed;
};

DrawnNesting nestDrawn(const std::vector<PathElement>& drawn,
                       const std::unordered_map<int32_t, bool>& selected) {
  DrawnNesting d;
  std::vector<std::vector<PathCurve>> loops;
  std::vector<Point2> firstPoint;
  const PathElement* e = drawn.data();
  for (const int32_t count : shapeCounts(drawn.data(), static_cast<int32_t>(drawn.size()))) {
    const PathElement* shape = e;
    e += count;
    if (!selected.contains(shape->shapeKey) || d.number.contains(shape->shapeKey)) continue;
    d.number.emplace(shape->shapeKey, loops.size());
    firstPoint.push_back({shape->startX, shape->startY});
    loops.push_back(closesOnItself(shape[0], shape[count - 1])
                        ? shapeLoop(shape, count, static_cast<int32_t>(shape - drawn.data()))
                        : std::vector<PathCurve>{});
  }
  const Nesting nest = nestShapes(loops);
  std::vector<Outline> outlines(loops.size());
  for (size_t s = 0; s < loops.size(); ++s) {
    if (nest.depth[s] >= 0) outlines[s] = outlineOf(loops[s]);
  }
  d.parent = nest.parent;
  d.closed.assign(loops.size(), 0);
  for (size_t s = 0; s < loops.size(); ++s) {
    if (nest.depth[s] >= 0) {
      d.closed[s] = 1;
      continue;
    }
    int32_t deepest = -1;
    for (size_t c = 0; c < loops.size(); ++c) {
      if (nest.depth[c] > deepest && encloses(outlines[c], firstPoint[s])) {
        deepest = nest.depth[c];
        d.parent[s] = static_cast<int32_t>(c);
      }
    }
  }
  return d;
}

}  // namespace

std::vector<OrderedShape> operationCutOrder(const std::vector<PathElement>& drawn,
                                            const std::vector<OperationShapes>& operations) {
  std::vector<OrderedShape> shapes;
  std::vector<int32_t> drawnKey;
  std::unordered_map<int32_t, bool> selected;
  for (size_t o = 0; o < operations.size(); ++o) {
    const std::vector<PathElement>& list = *operations[o].elements;
    size_t first = 0;
    size_t n = 0;
    for (const int32_t count : shapeCounts(list.data(), static_cast<int32_t>(list.size()))) {
      const std::vector<int32_t>& keys = operations[o].drawnKeys;
      const int32_t key = n < keys.size() ? keys[n] : list[first].shapeKey;
      shapes.push_back({o, n, first, count});
      drawnKey.push_back(key);
      selected.emplace(key, true);
      first += static_cast<size_t>(count);
      ++n;
    }
  }
  const DrawnNesting nesting = nestDrawn(drawn, selected);
  // Per drawn shape, the shapes written that cut it free.
  std::vector<std::vector<size_t>> freeing(nesting.parent.size());
  std::vector<int32_t> drawnOf(shapes.size(), -1);
  for (size_t u = 0; u < shapes.size(); ++u) {
    const auto found = nesting.number.find(drawnKey[u]);
    if (found == nesting.number.end()) continue;
    drawnOf[u] = static_cast<int32_t>(found->second);
    if (operations[shapes[u].operation].cutsThrough && nesting.closed[found->second] != 0) {
      freeing[found->second].push_back(u);
    }
  }
  // Each shape waits for every shape inside it that it would cut free.
  std::vector<std::vector<size_t>> after(shapes.size());
  std::vector<size_t> waitingFor(shapes.size(), 0);
  for (size_t u = 0; u < shapes.size(); ++u) {
    if (drawnOf[u] < 0) continue;
    for (int32_t a = nesting.parent[static_cast<size_t>(drawnOf[u])]; a >= 0;
         a = nesting.parent[static_cast<size_t>(a)]) {
      for (const size_t p : freeing[static_cast<size_t>(a)]) {
        after[u].push_back(p);
        ++waitingFor[p];
      }
    }
  }
  // The shapes ready to cut, by Order then as given, and by Order, tool,
  // then as given.
  using ByOrder = std::tuple<double, size_t>;
  using ByTool = std::tuple<double, int32_t, size_t>;
  std::set<ByOrder> ready;
  std::set<ByTool> readyByTool;
  const auto release = [&](size_t u) {
    const OperationShapes& op = operations[shapes[u].operation];
    ready.emplace(op.order, u);
    readyByTool.emplace(op.order, op.tool, u);
  };
  for (size_t u = 0; u < shapes.size(); ++u) {
    if (waitingFor[u] == 0) release(u);
  }
  std::vector<OrderedShape> ordered;
  ordered.reserve(shapes.size());
  int32_t tool = 0;
  bool anyTool = false;
  while (!ready.empty()) {
    const double order = std::get<0>(*ready.begin());
    size_t u = std::get<1>(*ready.begin());
    if (anyTool) {
      const auto same = readyByTool.lower_bound({order, tool, 0});
      if (same != readyByTool.end() && std::get<0>(*same) == order && std::get<1>(*same) == tool) {
        u = std::get<2>(*same);
      }
    }
    const OperationShapes& op = operations[shapes[u].operation];
    ready.erase({op.order, u});
    readyByTool.erase({op.order, op.tool, u});
    tool = op.tool;
    anyTool = true;
    ordered.push_back(shapes[u]);
    for (const size_t p : after[u]) {
      if (--waitingFor[p] == 0) release(p);
    }
  }
  return ordered;
}

}  // namespace brevanto
