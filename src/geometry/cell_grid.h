#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "geometry/path_curve.h"
#include "geometry/point2.h"

namespace brevanto {

// v within [lo, hi], and lo for a NaN: counts and cell indices made from
// coordinates, which may overflow to infinity far out.
inline double boundedCount(double v, double lo, double hi) {
  return v >= lo ? (v <= hi ? v : hi) : lo;
}

// Counts to and from doubles through 32-bit integers. On 32-bit x86 a 64-bit
// integer conversion goes through the x87 unit, which no build of the
// library uses (every result must be the SSE one on every platform).
// `whole` must already lie within the range of a 32-bit int (boundedCount).
inline int64_t countFrom(double whole) {
  return static_cast<int32_t>(whole);
}
inline double countAsDouble(int64_t n) {
  const auto high = static_cast<int32_t>(n >> 31);
  const auto low = static_cast<int32_t>(n & 0x7FFFFFFF);
  return static_cast<double>(high) * 2147483648.0 + static_cast<double>(low);
}

struct Box {
  double minX = 0.0;
  double minY = 0.0;
  double maxX = 0.0;
  double maxY = 0.0;
};

// The box around every point of the list.
Box boxAround(std::span<const Point2> points);

// A uniform grid over a rectangle whose cells list the items whose boxes
// overlap them: the spatial index of the cut-out stages. With about as many
// cells as items, and items no larger than a cell, a look-up touches a
// constant number of items on average, so n look-ups cost n, not n^2.
class CellGrid {
 public:
  struct ItemBox {
    int32_t item;
    Box box;
  };
  // Square cells of `cellSize` (from cellSizeFor) over `bounds`; the boxes of
  // one item must come one after the other.
  CellGrid(const Box& bounds, double cellSize, std::span<const ItemBox> boxes);

  [[nodiscard]] int32_t columns() const { return columns_; }
  [[nodiscard]] int32_t rows() const { return rows_; }
  [[nodiscard]] double cellSize() const { return cell_; }
  // The column or row of a coordinate, clamped to the grid.
  [[nodiscard]] int32_t column(double x) const;
  [[nodiscard]] int32_t row(double y) const;
  [[nodiscard]] double rowBottom(int32_t row) const;
  // The items registered in one cell (each at most once).
  [[nodiscard]] std::span<const int32_t> items(int32_t column, int32_t row) const;

  // Cell size for about `targetCells` cells over `bounds` (never 0).
  static double cellSizeFor(const Box& bounds, int64_t targetCells);

 private:
  Box bounds_;
  double cell_ = 1.0;
  int32_t columns_ = 1;
  int32_t rows_ = 1;
  std::vector<int64_t> start_;  // per cell, into items_; one more at the end
  std::vector<int32_t> items_;
};

// Boxes around the curve in pieces no longer than `piece`, each grown by
// `margin`, for item `item`: a long line or arc is registered in the cells it
// passes, not in every cell of its bounding box.
void appendCurveBoxes(const PathCurve& curve, double piece, double margin, int32_t item,
                      std::vector<CellGrid::ItemBox>& out);

}  // namespace brevanto
