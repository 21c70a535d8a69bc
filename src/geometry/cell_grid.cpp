#include "geometry/cell_grid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevanto {

Box boxAround(std::span<const Point2> points) {
  Box b{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
        std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest()};
  for (const Point2 p : points) {
    b.minX = std::min(b.minX, p.x);
    b.minY = std::min(b.minY, p.y);
    b.maxX = std::max(b.maxX, p.x);
    b.maxY = std::max(b.maxY, p.y);
  }
  if (points.empty()) b = Box{};
  return b;
}

double CellGrid::cellSizeFor(const Box& bounds, int64_t targetCells) {
  const double n = countAsDouble(std::max<int64_t>(targetCells, 1));
  const double w = bounds.maxX - bounds.minX;
  const double h = bounds.maxY - bounds.minY;
  // Square cells, and never more than n along either side however thin the
  // rectangle is.
  double cell = std::max({std::sqrt(w * h / n), w / n, h / n});
  if (!(cell > 0.0)) cell = 1.0;
  return cell;
}

CellGrid::CellGrid(const Box& bounds, double cellSize, std::span<const ItemBox> boxes)
    : bounds_(bounds), cell_(cellSize) {
  const auto count = [this](double extent) {
    const double cells = std::floor(extent / cell_) + 1.0;
    return static_cast<int32_t>(boundedCount(cells, 1.0, 1.0e6));
  };
  columns_ = count(bounds.maxX - bounds.minX);
  rows_ = count(bounds.maxY - bounds.minY);
  const auto cells = static_cast<size_t>(columns_) * static_cast<size_t>(rows_);

  // Two passes over the boxes (count, then fill), each registering an item
  // once per cell: its boxes come together, so the last item seen in a cell
  // tells whether it is there already.
  std::vector<int32_t> last(cells, -1);
  std::vector<int64_t> fill(cells, 0);
  const auto visit = [&](auto&& onCell) {
    std::fill(last.begin(), last.end(), -1);
    for (const ItemBox& ib : boxes) {
      const int32_t c0 = column(ib.box.minX), c1 = column(ib.box.maxX);
      const int32_t r0 = row(ib.box.minY), r1 = row(ib.box.maxY);
      for (int32_t r = r0; r <= r1; ++r) {
        for (int32_t c = c0; c <= c1; ++c) {
          const size_t k = static_cast<size_t>(r) * static_cast<size_t>(columns_) + c;
          if (last[k] == ib.item) continue;
          last[k] = ib.item;
          onCell(k, ib.item);
        }
      }
    }
  };
  visit([&](size_t k, int32_t) { ++fill[k]; });
  start_.assign(cells + 1, 0);
  for (size_t k = 0; k < cells; ++k) start_[k + 1] = start_[k] + fill[k];
  items_.resize(static_cast<size_t>(start_[cells]));
  std::copy(start_.begin(), start_.end() - 1, fill.begin());
  visit([&](size_t k, int32_t item) { items_[static_cast<size_t>(fill[k]++)] = item; });
}

int32_t CellGrid::column(double x) const {
  const double c = std::floor((x - bounds_.minX) / cell_);
  return static_cast<int32_t>(boundedCount(c, 0.0, static_cast<double>(columns_ - 1)));
}

int32_t CellGrid::row(double y) const {
  const double r = std::floor((y - bounds_.minY) / cell_);
  return static_cast<int32_t>(boundedCount(r, 0.0, static_cast<double>(rows_ - 1)));
}

double CellGrid::rowBottom(int32_t row) const {
  return bounds_.minY + row * cell_;
}

std::span<const int32_t> CellGrid::items(int32_t column, int32_t row) const {
  const size_t k = static_cast<size_t>(row) * static_cast<size_t>(columns_) + column;
  return {items_.data() + start_[k], items_.data() + start_[k + 1]};
}

void appendCurveBoxes(const PathCurve& curve, double piece, double margin, int32_t item,
                      std::vector<CellGrid::ItemBox>& out) {
  const double length = curveLength(curve);
  const double pieces = boundedCount(std::ceil(length / piece), 1.0, 1.0e7);
  const auto n = static_cast<int32_t>(pieces);
  // Every point of a piece lies within half its length of one of its ends.
  const double grow = margin + 0.5 * length / n;
  Point2 a = curve.start;
  for (int32_t i = 1; i <= n; ++i) {
    const Point2 b = pointAt(curve, static_cast<double>(i) / n);
    out.push_back({item, Box{std::min(a.x, b.x) - grow, std::min(a.y, b.y) - grow,
                             std::max(a.x, b.x) + grow, std::max(a.y, b.y) + grow}});
    a = b;
  }
}

}  // namespace brevanto
