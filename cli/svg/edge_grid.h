#pragma once

#include <cstdint>
#include <polyclipping/clipper.hpp>
#include <span>
#include <utility>
#include <vector>

namespace brevanto::cli {

// The edges of a set of closed polygons by where they lie: a grid whose
// cells list every edge that comes within `reach` of them, so that the
// edges near a point are found without trying them all. Edges are numbered
// polygon by polygon, edge i running from point i to the next (the last
// back to the first); each cell lists its edges in increasing number.
class EdgeGrid {
 public:
  // Polygons with fewer edges than this in all are not worth a grid.
  static constexpr size_t kLeastEdges = 256;

  EdgeGrid() = default;
  EdgeGrid(const ClipperLib::Paths& polygons, double reach);

  [[nodiscard]] bool empty() const { return cells_.empty(); }
  // Every edge within `reach` of p (and maybe a few more), by number.
  [[nodiscard]] std::span<const int32_t> near(const ClipperLib::IntPoint& p) const;
  // Edge number k as (polygon, index of its first point).
  [[nodiscard]] std::pair<size_t, size_t> edge(int32_t k) const {
    return edges_[static_cast<size_t>(k)];
  }

 private:
  double left_ = 0.0, top_ = 0.0, cellWidth_ = 1.0, cellHeight_ = 1.0;
  int32_t columns_ = 0, rows_ = 0;
  std::vector<std::vector<int32_t>> cells_;
  std::vector<std::pair<size_t, size_t>> edges_;
};

}  // namespace brevanto::cli
