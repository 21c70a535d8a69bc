#include "job/cut_order.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/cell_grid.h"
#include "geometry/closed_shape.h"

namespace brevanto {
namespace {

Point2 startOf(const PathElement& e) {
  return {e.startX, e.startY};
}
Point2 endOf(const PathElement& e) {
  return {e.endX, e.endY};
}

bool isClosedPath(const CutPath& p) {
  return !p.elements.empty() && closesOnItself(p.elements.front(), p.elements.back());
}

// Where the tool stands after cutting the path from element `first` on.
Point2 exitOf(const CutPath& p, size_t first) {
  if (isClosedPath(p)) return startOf(p.elements[first]);
  return endOf(p.elements.back());
}

// The free starts, in a grid with about as many cells as starts: removal in
// constant time, and a nearest search that widens ring by ring until no
// nearer start can lie further out. The grid is rebuilt when it has become
// four times too coarse or too fine, so it stays proportionate as starts
// come and go.
class FreeStarts {
 public:
  struct Start {
    Point2 at;
    size_t path;
    size_t element;
  };

  explicit FreeStarts(const Box& bounds) : bounds_(bounds) { rebuild(16); }

  size_t add(const Start& s) {
    const size_t id = starts_.size();
    starts_.push_back(s);
    where_.push_back({});
    place(id);
    ++live_;
    if (live_ > 4 * cells_.size()) rebuild(live_);
    return id;
  }

  void remove(size_t id) {
    auto& cell = cells_[where_[id].cell];
    const size_t at = where_[id].slot;
    cell[at] = cell.back();
    where_[cell[at]].slot = at;
    cell.pop_back();
    where_[id].cell = kGone;
    --live_;
    if (cells_.size() > 64 && live_ * 4 < cells_.size()) rebuild(live_);
  }

  // The free start nearest to p (ties: the one added first), or kGone.
  [[nodiscard]] size_t nearest(Point2 p) const {
    size_t best = kGone;
    if (live_ == 0) return best;
    double bestDistance = std::numeric_limits<double>::max();
    const int64_t cx = column(p.x), cy = row(p.y);
    const int64_t rings = std::max(columns_, rows_);
    for (int64_t k = 0; k <= rings; ++k) {
      // Starts in ring k lie at least k - 1 cells away, even from a point
      // outside the grid.
      if (best != kGone && bestDistance <= countAsDouble(k - 1) * cell_) break;
      for (int64_t y = cy - k; y <= cy + k; ++y) {
        if (y < 0 || y >= rows_) continue;
        const bool edgeRow = y == cy - k || y == cy + k;
        for (int64_t x = cx - k; x <= cx + k; x += (edgeRow || k == 0) ? 1 : 2 * k) {
          if (x < 0 || x >= columns_) continue;
          for (const size_t id : cells_[static_cast<size_t>(y * columns_ + x)]) {
            const double d = distance(p, starts_[id].at);
            if (d < bestDistance || (d == bestDistance && id < best)) {
              bestDistance = d;
              best = id;
            }
          }
        }
      }
    }
    return best;
  }

  [[nodiscard]] const Start& operator[](size_t id) const { return starts_[id]; }
  static constexpr size_t kGone = std::numeric_limits<size_t>::max();

 private:
  struct Where {
    size_t cell = kGone;
    size_t slot = 0;
  };

  // Clamped as doubles: a point far outside the grid is no integer.
  [[nodiscard]] int64_t column(double x) const {
    return countFrom(
        boundedCount(std::floor((x - bounds_.minX) / cell_), 0.0, countAsDouble(columns_ - 1)));
  }
  [[nodiscard]] int64_t row(double y) const {
    return countFrom(
        boundedCount(std::floor((y - bounds_.minY) / cell_), 0.0, countAsDouble(rows_ - 1)));
  }

  void place(size_t id) {
    const Point2 p = starts_[id].at;
    const auto k = static_cast<size_t>(row(p.y) * columns_ + column(p.x));
    where_[id] = {k, cells_[k].size()};
    cells_[k].push_back(id);
  }

  void rebuild(size_t target) {
    cell_ = CellGrid::cellSizeFor(bounds_, static_cast<int64_t>(std::max<size_t>(target, 16)));
    columns_ =
        countFrom(boundedCount(std::floor((bounds_.maxX - bounds_.minX) / cell_), 0.0, 1.0e6)) + 1;
    rows_ =
        countFrom(boundedCount(std::floor((bounds_.maxY - bounds_.minY) / cell_), 0.0, 1.0e6)) + 1;
    cells_.assign(static_cast<size_t>(columns_ * rows_), {});
    for (size_t id = 0; id < starts_.size(); ++id) {
      if (where_[id].cell != kGone) place(id);
    }
  }

  Box bounds_;
  double cell_ = 1.0;
  int64_t columns_ = 1;
  int64_t rows_ = 1;
  std::vector<std::vector<size_t>> cells_;
  std::vector<Start> starts_;
  std::vector<Where> where_;
  size_t live_ = 0;
};

// The elements a closed path may start with: the first, and every one whose
// start the writer would take for the end of the element before it. A full
// circle (one element) keeps its start.
std::vector<size_t> possibleStarts(const CutPath& p) {
  std::vector<size_t> firsts{0};
  if (!isClosedPath(p)) return firsts;
  for (size_t k = 1; k < p.elements.size(); ++k) {
    const PathElement& before = p.elements[k - 1];
    const PathElement& e = p.elements[k];
    if (roundToHundredths(e.startX) == roundToHundredths(before.endX) &&
        roundToHundredths(e.startY) == roundToHundredths(before.endY)) {
      firsts.push_back(k);
    }
  }
  return firsts;
}

}  // namespace

double rapidLength(const std::vector<CutPath>& paths, const std::vector<size_t>& order,
                   const std::vector<size_t>& firstElement) {
  double length = 0.0;
  Point2 at{0.0, 0.0};
  for (const size_t i : order) {
    const CutPath& p = paths[i];
    if (p.elements.empty()) continue;
    length += distance(at, startOf(p.elements[firstElement[i]]));
    at = exitOf(p, firstElement[i]);
  }
  return length;
}

void rotateToStart(std::vector<PathElement>& elements, size_t first) {
  std::rotate(elements.begin(), elements.begin() + static_cast<std::ptrdiff_t>(first),
              elements.end());
}

CutOrderResult orderInsideFirst(const std::vector<CutPath>& paths,
                                const std::vector<int32_t>& parent) {
  CutOrderResult result;
  const size_t n = paths.size();
  result.firstElement.assign(n, 0);
  std::vector<size_t> listOrder(n);
  for (size_t i = 0; i < n; ++i) listOrder[i] = i;
  result.rapidLengthBefore = rapidLength(paths, listOrder, result.firstElement);

  // Nodes: paths left per node, and inner nodes not yet finished.
  const size_t nodes = parent.size();
  std::vector<size_t> pathsLeft(nodes, 0);
  std::vector<size_t> innerLeft(nodes, 0);
  std::vector<std::vector<size_t>> pathsOf(nodes);
  for (size_t i = 0; i < n; ++i) {
    if (paths[i].node >= 0) {
      ++pathsLeft[static_cast<size_t>(paths[i].node)];
      pathsOf[static_cast<size_t>(paths[i].node)].push_back(i);
    }
  }
  std::vector<uint8_t> isNode(nodes, 0);
  for (size_t i = 0; i < n; ++i) {
    if (paths[i].node >= 0) isNode[static_cast<size_t>(paths[i].node)] = 1;
  }
  for (size_t v = 0; v < nodes; ++v) {
    if (parent[v] >= 0) isNode[static_cast<size_t>(parent[v])] = isNode[v] = 1;
  }
  for (size_t v = 0; v < nodes; ++v) {
    if (isNode[v] && parent[v] >= 0) ++innerLeft[static_cast<size_t>(parent[v])];
  }

  std::vector<Point2> everyStart;
  for (const CutPath& p : paths) {
    for (const PathElement& e : p.elements) everyStart.push_back(startOf(e));
  }
  FreeStarts free(boxAround(everyStart));
  everyStart = {};
  std::vector<std::vector<size_t>> startIds(n);
  const auto release = [&](size_t i) {
    if (paths[i].elements.empty()) return;
    for (const size_t k : possibleStarts(paths[i])) {
      startIds[i].push_back(free.add({startOf(paths[i].elements[k]), i, k}));
    }
  };

  // A node whose inner nodes are finished frees its paths; a node with no
  // paths left is finished and may free its parent in turn.
  const auto nodeReady = [&](size_t v) {
    for (;;) {
      if (pathsLeft[v] > 0) {
        for (const size_t i : pathsOf[v]) release(i);
        return;
      }
      if (parent[v] < 0) return;
      v = static_cast<size_t>(parent[v]);
      if (--innerLeft[v] > 0) return;
    }
  };

  Point2 at{0.0, 0.0};
  const auto cutAll = [&]() {
    for (size_t id = free.nearest(at); id != FreeStarts::kGone; id = free.nearest(at)) {
      const size_t i = free[id].path;
      result.firstElement[i] = free[id].element;
      for (const size_t s : startIds[i]) free.remove(s);
      startIds[i].clear();
      result.order.push_back(i);
      at = exitOf(paths[i], result.firstElement[i]);
      if (paths[i].node < 0) continue;
      const auto v = static_cast<size_t>(paths[i].node);
      if (--pathsLeft[v] == 0 && parent[v] >= 0) {
        const auto up = static_cast<size_t>(parent[v]);
        if (--innerLeft[up] == 0) nodeReady(up);
      }
    }
  };

  // Open paths first, then the nodes from the innermost out.
  for (size_t i = 0; i < n; ++i) {
    if (paths[i].node < 0) release(i);
  }
  cutAll();
  std::vector<size_t> innermost;
  for (size_t v = 0; v < nodes; ++v) {
    if (isNode[v] && innerLeft[v] == 0) innermost.push_back(v);
  }
  for (const size_t v : innermost) nodeReady(v);
  cutAll();
  // Paths without elements take no place in the order but keep their turn.
  for (size_t i = 0; i < n; ++i) {
    if (paths[i].elements.empty()) result.order.push_back(i);
  }
  result.rapidLengthAfter = rapidLength(paths, result.order, result.firstElement);
  return result;
}

}  // namespace brevanto
