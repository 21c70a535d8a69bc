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

// An open shape (or a loop that encloses nothing) takes part in the nesting
// as a triangle this small (mm) at its first point: it then has a parent
// as a closed shape has, found the same way.
constexpr double kMarkerSize = 1e-4;

std::vector<PathCurve> markerAt(Point2 p) {
  const Point2 right{p.x + kMarkerSize, p.y};
  const Point2 up{p.x, p.y + kMarkerSize};
  return {lineCurve(p, right), lineCurve(right, up), lineCurve(up, p)};
}

// The selected drawn shapes (by key) and, per shape, the innermost closed
// shape around it.
struct DrawnNesting {
  std::unordered_map<int32_t, size_t> number;
  std::vector<int32_t> parent;
  std::vector<uint8_t> closed;
};

DrawnNesting nestDrawn(const std::vector<PathElement>& drawn,
                       const std::unordered_map<int32_t, bool>& selected) {
  DrawnNesting d;
  std::vector<std::vector<PathCurve>> loops;
  const PathElement* e = drawn.data();
  for (const int32_t count : shapeCounts(drawn.data(), static_cast<int32_t>(drawn.size()))) {
    const PathElement* shape = e;
    e += count;
    if (!selected.contains(shape->shapeKey) || d.number.contains(shape->shapeKey)) continue;
    d.number.emplace(shape->shapeKey, loops.size());
    std::vector<PathCurve> loop;
    if (closesOnItself(shape[0], shape[count - 1])) {
      loop = shapeLoop(shape, count, static_cast<int32_t>(shape - drawn.data()));
    }
    double area = 0.0;
    for (const PathCurve& c : loop) area += signedAreaShare(c);
    const bool closed = std::fabs(area) > kMarkerSize * kMarkerSize;
    d.closed.push_back(closed ? 1 : 0);
    loops.push_back(closed ? std::move(loop) : markerAt({shape->startX, shape->startY}));
  }
  d.parent = nestShapes(loops).parent;
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
  // A shape that must come before one of a lower Order takes that Order:
  // the engravings inside parts cut first are all done before the parts,
  // one tool change, rather than one tool change per part. The waits lead
  // from a shape outwards, so in an order where each shape comes after
  // those it waits for (Kahn's), the later ones are settled first.
  std::vector<double> order(shapes.size());
  std::vector<size_t> sequence;
  std::vector<size_t> left = waitingFor;
  for (size_t u = 0; u < shapes.size(); ++u) {
    order[u] = operations[shapes[u].operation].order;
    if (left[u] == 0) sequence.push_back(u);
  }
  for (size_t i = 0; i < sequence.size(); ++i) {
    for (const size_t p : after[sequence[i]]) {
      if (--left[p] == 0) sequence.push_back(p);
    }
  }
  for (auto u = sequence.rbegin(); u != sequence.rend(); ++u) {
    for (const size_t p : after[*u]) order[*u] = std::min(order[*u], order[p]);
  }
  // The shapes ready to cut, by that Order then as given, and by Order,
  // tool, then as given.
  using ByOrder = std::tuple<double, size_t>;
  using ByTool = std::tuple<double, int32_t, size_t>;
  std::set<ByOrder> ready;
  std::set<ByTool> readyByTool;
  const auto toolOf = [&](size_t u) { return operations[shapes[u].operation].tool; };
  const auto release = [&](size_t u) {
    ready.emplace(order[u], u);
    readyByTool.emplace(order[u], toolOf(u), u);
  };
  for (size_t u = 0; u < shapes.size(); ++u) {
    if (waitingFor[u] == 0) release(u);
  }
  std::vector<OrderedShape> ordered;
  ordered.reserve(shapes.size());
  int32_t tool = 0;
  bool anyTool = false;
  while (!ready.empty()) {
    const double first = std::get<0>(*ready.begin());
    size_t u = std::get<1>(*ready.begin());
    if (anyTool) {
      const auto same = readyByTool.lower_bound({first, tool, 0});
      if (same != readyByTool.end() && std::get<0>(*same) == first && std::get<1>(*same) == tool) {
        u = std::get<2>(*same);
      }
    }
    ready.erase({order[u], u});
    readyByTool.erase({order[u], toolOf(u), u});
    tool = toolOf(u);
    anyTool = true;
    ordered.push_back(shapes[u]);
    for (const size_t p : after[u]) {
      if (--waitingFor[p] == 0) release(p);
    }
  }
  return ordered;
}

}  // namespace brevanto
