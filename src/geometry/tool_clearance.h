#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "brevanto/nearest_index.h"
#include "geometry/cell_grid.h"
#include "geometry/path_curve.h"

namespace brevanto {

// The closed outlines of a drawing, indexed so that a point can be tested
// against all of them at once: does the tool, centred there, cut into one?
class ToolClearance {
 public:
  // The curves of loop k are numbered from firstCurve(k) on, in loop order.
  ToolClearance(const std::vector<const std::vector<PathCurve>*>& loops, double toolRadius);
  // How much nearer than now an outline may come before a tool centred at p
  // cuts into it: the distance to the nearest outline (up to twice the
  // radius) less the radius, less a rounding allowance. Negative: it cuts in. The
  // curves `skipA` and `skipB` are left out of the search. The distance to
  // an outline changes no faster than p moves, so a path may go on this far
  // from p without cutting in. `hint`, when given, is the piece nearest to
  // the point asked before, and is set to the one nearest to p: points asked
  // one after another along a path are then found from near by.
  [[nodiscard]] double room(Point2 p, int64_t skipA = -1, int64_t skipB = -1,
                            size_t* hint = nullptr) const;
  [[nodiscard]] double toolRadius() const { return radius_; }
  [[nodiscard]] int64_t firstCurve(size_t loop) const { return first_[loop]; }
  // The length of all the outlines, mm.
  [[nodiscard]] double totalLength() const { return total_; }

 private:
  [[nodiscard]] bool skipped(size_t piece, int64_t skipA, int64_t skipB) const;

  double radius_;
  double reach_;  // nearer curves are searched for, further ones need not be
  double limit_;
  double total_ = 0.0;
  // Everything within the reach of a curve: no curve is nearer than the
  // reach to a point outside.
  Box bounds_;
  // The outlines' curves in pieces of about the same length, in the index's
  // order.
  std::vector<PathCurve> pieces_;
  std::vector<int64_t> pieceCurve_;  // the curve each piece is part of
  // Further curves a piece is part of, where outlines lie exactly on one
  // another.
  std::unordered_multimap<size_t, int64_t> alsoOf_;
  std::vector<int64_t> first_;
  NearestIndex index_;
};

}  // namespace brevanto
