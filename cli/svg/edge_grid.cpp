#include "edge_grid.h"

#include <algorithm>
#include <cmath>

namespace brevanto::cli {
namespace {

constexpr double kMostCellsAcross = 2048.0;

}  // namespace

EdgeGrid::EdgeGrid(const ClipperLib::Paths& polygons, double reach) {
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY, length = 0.0;
  for (size_t p = 0; p < polygons.size(); ++p) {
    const ClipperLib::Path& polygon = polygons[p];
    for (size_t i = 0; i < polygon.size(); ++i) {
      const auto x = static_cast<double>(polygon[i].X), y = static_cast<double>(polygon[i].Y);
      const ClipperLib::IntPoint& next = polygon[(i + 1) % polygon.size()];
      minX = std::min(minX, x), maxX = std::max(maxX, x);
      minY = std::min(minY, y), maxY = std::max(maxY, y);
      length += std::hypot(static_cast<double>(next.X) - x, static_cast<double>(next.Y) - y);
      edges_.emplace_back(p, i);
    }
  }
  if (edges_.size() < kLeastEdges) {
    edges_.clear();
    return;
  }
  left_ = minX - reach, top_ = minY - reach;
  const double width = maxX - minX + 2.0 * reach, height = maxY - minY + 2.0 * reach;
  const auto n = static_cast<double>(edges_.size());
  // About one cell to an edge, and no more than a few cells along each.
  const double cell = std::max({std::sqrt(width * height / n), length / (8.0 * n), 1.0});
  columns_ = static_cast<int32_t>(std::clamp(std::ceil(width / cell), 1.0, kMostCellsAcross));
  rows_ = static_cast<int32_t>(std::clamp(std::ceil(height / cell), 1.0, kMostCellsAcross));
  cellWidth_ = width / columns_, cellHeight_ = height / rows_;
  cells_.resize(static_cast<size_t>(columns_) * static_cast<size_t>(rows_));
  const double step = std::min(cellWidth_, cellHeight_);
  auto column = [&](double x) {
    return std::clamp(static_cast<int32_t>(std::floor((x - left_) / cellWidth_)), 0, columns_ - 1);
  };
  auto row = [&](double y) {
    return std::clamp(static_cast<int32_t>(std::floor((y - top_) / cellHeight_)), 0, rows_ - 1);
  };
  for (size_t k = 0; k < edges_.size(); ++k) {
    const ClipperLib::Path& polygon = polygons[edges_[k].first];
    const ClipperLib::IntPoint& a = polygon[edges_[k].second];
    const ClipperLib::IntPoint& b = polygon[(edges_[k].second + 1) % polygon.size()];
    const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
    const double dx = static_cast<double>(b.X) - ax, dy = static_cast<double>(b.Y) - ay;
    // The edge in pieces no longer than a cell, each with the cells its box
    // grown by the reach covers.
    const double pieces = std::max(1.0, std::ceil(std::hypot(dx, dy) / step));
    for (double i = 0.0; i < pieces; ++i) {
      const double x0 = ax + dx * (i / pieces), x1 = ax + dx * ((i + 1.0) / pieces);
      const double y0 = ay + dy * (i / pieces), y1 = ay + dy * ((i + 1.0) / pieces);
      for (int32_t r = row(std::min(y0, y1) - reach); r <= row(std::max(y0, y1) + reach); ++r) {
        for (int32_t c = column(std::min(x0, x1) - reach); c <= column(std::max(x0, x1) + reach);
             ++c) {
          std::vector<int32_t>& items = cells_[static_cast<size_t>(r) * columns_ + c];
          if (items.empty() || items.back() != static_cast<int32_t>(k)) {
            items.push_back(static_cast<int32_t>(k));
          }
        }
      }
    }
  }
}

std::span<const int32_t> EdgeGrid::near(const ClipperLib::IntPoint& p) const {
  const double x = (static_cast<double>(p.X) - left_) / cellWidth_;
  const double y = (static_cast<double>(p.Y) - top_) / cellHeight_;
  if (!(x >= 0.0 && x < columns_ && y >= 0.0 && y < rows_)) return {};
  return cells_[static_cast<size_t>(y) * columns_ + static_cast<size_t>(x)];
}

}  // namespace brevanto::cli
