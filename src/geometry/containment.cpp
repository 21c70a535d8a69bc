#include "geometry/containment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "geometry/cell_grid.h"

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;
// Arcs are flattened to chords of at most this turn (radians): 5 degrees, a
// chord within 0.1 % of the radius of its arc.
constexpr double kFlatteningStep = kPi / 36.0;
// End points closer than this (mm) are one point; a gap wider than it is
// bridged.
constexpr double kSamePoint = 1e-9;

struct Edge {
  Point2 a;
  Point2 b;
  int32_t shape;
};

// Twice the signed area of the triangle a, b, c: positive when it turns
// counter-clockwise.
double orientation(Point2 a, Point2 b, Point2 c) {
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

bool crossProperly(const Edge& e, const Edge& f) {
  const double o1 = orientation(e.a, e.b, f.a);
  const double o2 = orientation(e.a, e.b, f.b);
  const double o3 = orientation(f.a, f.b, e.a);
  const double o4 = orientation(f.a, f.b, e.b);
  return ((o1 < 0.0 && o2 > 0.0) || (o1 > 0.0 && o2 < 0.0)) &&
         ((o3 < 0.0 && o4 > 0.0) || (o3 > 0.0 && o4 < 0.0));
}

// The loop as one closed chain of chords: each chord starts exactly where
// the one before it ends, and the last ends at the first's start. Curves of
// a loop meet within kSamePoint, not exactly; a chain with such a crack in it
// could let the downward ray of firstEdgeBelow through at a vertex.
void flatten(const std::vector<PathCurve>& loop, int32_t shape, std::vector<Edge>& edges) {
  if (loop.empty()) return;
  const Point2 first = loop.front().start;
  Point2 a = first;
  for (size_t k = 0; k < loop.size(); ++k) {
    const PathCurve& c = loop[k];
    const int32_t n = c.isArc() ? static_cast<int32_t>(boundedCount(
                                      std::ceil(std::fabs(c.sweep) / kFlatteningStep), 1.0, 72.0))
                                : 1;
    for (int32_t i = 1; i <= n; ++i) {
      const Point2 b =
          i == n && k + 1 == loop.size() ? first : pointAt(c, static_cast<double>(i) / n);
      edges.push_back({a, b, shape});
      a = b;
    }
  }
}

using ShapePair = std::pair<int32_t, int32_t>;

// Every pair of shapes whose flattened outlines cross, each pair once with
// the lower index first. Only edges that share a grid cell can cross.
std::vector<ShapePair> crossingPairs(const std::vector<Edge>& edges, const CellGrid& grid) {
  std::vector<ShapePair> pairs;
  for (int32_t r = 0; r < grid.rows(); ++r) {
    for (int32_t c = 0; c < grid.columns(); ++c) {
      const auto items = grid.items(c, r);
      for (size_t i = 0; i < items.size(); ++i) {
        const Edge& e = edges[static_cast<size_t>(items[i])];
        for (size_t j = i + 1; j < items.size(); ++j) {
          const Edge& f = edges[static_cast<size_t>(items[j])];
          if (e.shape == f.shape || !crossProperly(e, f)) continue;
          pairs.emplace_back(std::min(e.shape, f.shape), std::max(e.shape, f.shape));
        }
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  return pairs;
}

// The edge of another shape that a ray straight down from p meets first, or
// -1. An edge covers the x range [min, max), so a ray through a vertex meets
// exactly one of its two edges; vertical edges are never met.
int32_t firstEdgeBelow(Point2 p, int32_t shape, const std::vector<Edge>& edges,
                       const CellGrid& grid) {
  const int32_t column = grid.column(p.x);
  for (int32_t r = grid.row(p.y); r >= 0; --r) {
    double best = std::numeric_limits<double>::lowest();
    int32_t found = -1;
    for (const int32_t k : grid.items(column, r)) {
      const Edge& e = edges[static_cast<size_t>(k)];
      if (e.shape == shape) continue;
      const double x0 = std::min(e.a.x, e.b.x);
      const double x1 = std::max(e.a.x, e.b.x);
      if (!(x0 <= p.x && p.x < x1)) continue;
      const double y = e.a.y + (e.b.y - e.a.y) * ((p.x - e.a.x) / (e.b.x - e.a.x));
      if (y < p.y && y > best) {
        best = y;
        found = k;
      }
    }
    // A crossing in this row is registered here; one further down may be a
    // longer edge seen early, and waits for its own row.
    if (found >= 0 && (r == 0 || best >= grid.rowBottom(r) - kSamePoint)) return found;
  }
  return -1;
}

}  // namespace

std::vector<PathCurve> shapeLoop(const PathElement* elements, int32_t count, int32_t firstIndex) {
  std::vector<PathCurve> loop;
  if (count <= 0) return loop;
  const auto add = [&loop](const PathCurve& c) {
    if (curveLength(c) > kSamePoint) loop.push_back(c);
  };
  const Point2 first{elements[0].startX, elements[0].startY};
  Point2 at = first;
  for (int32_t i = 0; i < count; ++i) {
    const PathCurve c = curveOf(elements[i], firstIndex + i);
    if (distance(at, c.start) > kSamePoint) add(lineCurve(at, c.start));
    add(c);
    at = c.end;
  }
  if (distance(at, first) > kSamePoint) add(lineCurve(at, first));
  return loop;
}

Nesting nestShapes(const std::vector<std::vector<PathCurve>>& loops,
                   const std::vector<double>& enclosed) {
  const size_t n = loops.size();
  Nesting nest;
  nest.parent.assign(n, -1);
  nest.depth.assign(n, -1);
  nest.area.assign(n, 0.0);
  nest.crossing.assign(n, 0);

  std::vector<Edge> edges;
  std::vector<int32_t> closed;
  for (size_t s = 0; s < n; ++s) {
    double area = 0.0;
    for (const PathCurve& c : loops[s]) area += signedAreaShare(c);
    nest.area[s] = area;
    // A loop that encloses nothing (a stroke out and back) has no inside.
    const double inside = s < enclosed.size() ? enclosed[s] : area;
    if (loops[s].empty() || !(std::fabs(inside) > kSamePoint)) continue;
    closed.push_back(static_cast<int32_t>(s));
    flatten(loops[s], static_cast<int32_t>(s), edges);
  }
  if (closed.empty()) return nest;

  std::vector<Point2> ends;
  ends.reserve(edges.size());
  for (const Edge& e : edges) ends.push_back(e.a);
  const Box bounds = boxAround(ends);
  double length = 0.0;
  for (const Edge& e : edges) length += distance(e.a, e.b);
  // No more than about sixteen pieces to an edge, however long the edges.
  const double cell = std::max(CellGrid::cellSizeFor(bounds, static_cast<int64_t>(edges.size())),
                               length / (16.0 * static_cast<double>(edges.size())));
  std::vector<CellGrid::ItemBox> boxes;
  for (size_t k = 0; k < edges.size(); ++k) {
    appendCurveBoxes(lineCurve(edges[k].a, edges[k].b), cell, 0.0, static_cast<int32_t>(k), boxes);
  }
  const CellGrid grid(bounds, cell, boxes);
  boxes.clear();
  boxes.shrink_to_fit();

  const std::vector<ShapePair> crossing = crossingPairs(edges, grid);
  for (const auto& [a, b] : crossing) nest.crossing[a] = nest.crossing[b] = 1;

  // The lowest flattened point of every closed shape (then the leftmost).
  std::vector<Point2> lowest(n, Point2{0.0, std::numeric_limits<double>::max()});
  for (const Edge& e : edges) {
    Point2& p = lowest[static_cast<size_t>(e.shape)];
    if (e.a.y < p.y || (e.a.y == p.y && e.a.x < p.x)) p = e.a;
  }
  std::sort(closed.begin(), closed.end(), [&lowest](int32_t a, int32_t b) {
    const Point2 p = lowest[static_cast<size_t>(a)], q = lowest[static_cast<size_t>(b)];
    return p.y < q.y || (p.y == q.y && (p.x < q.x || (p.x == q.x && a < b)));
  });
  // An edge below a shape's lowest point belongs to a shape whose own lowest
  // point is lower still, so that shape's parent is known by then.
  for (const int32_t s : closed) {
    const auto si = static_cast<size_t>(s);
    const int32_t k = firstEdgeBelow(lowest[si], s, edges, grid);
    int32_t parent = -1;
    if (k >= 0) {
      const Edge& e = edges[static_cast<size_t>(k)];
      const auto below = static_cast<size_t>(e.shape);
      const ShapePair pair{std::min(s, e.shape), std::max(s, e.shape)};
      // The inside of a counter-clockwise loop lies left of its edges, so
      // above an edge that runs towards +x.
      const bool insideBelow = (e.b.x > e.a.x) == (nest.area[below] > 0.0);
      if (insideBelow && !std::binary_search(crossing.begin(), crossing.end(), pair)) {
        parent = e.shape;
      } else {
        parent = nest.parent[below];
      }
    }
    nest.parent[si] = parent;
    nest.depth[si] = parent < 0 ? 0 : nest.depth[static_cast<size_t>(parent)] + 1;
  }
  return nest;
}

std::vector<std::vector<size_t>> directHoles(const Nesting& nest) {
  std::vector<std::vector<size_t>> holes(nest.depth.size());
  for (size_t s = 0; s < nest.depth.size(); ++s) {
    if (nest.depth[s] % 2 == 1 && nest.parent[s] >= 0) {
      holes[static_cast<size_t>(nest.parent[s])].push_back(s);
    }
  }
  return holes;
}

}  // namespace brevanto
