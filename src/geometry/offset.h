#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

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
  // from p without cutting in.
  [[nodiscard]] double room(Point2 p, int64_t skipA = -1, int64_t skipB = -1) const;
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
  // The outlines' curves in pieces no longer than a grid cell, and a box
  // around each piece: the grid lists pieces.
  std::vector<PathCurve> pieces_;
  std::vector<int64_t> pieceCurve_;  // the curve each piece is part of
  // Further curves a piece is part of, where outlines lie exactly on one
  // another.
  std::unordered_multimap<size_t, int64_t> alsoOf_;
  std::vector<Box> boxes_;
  std::vector<int64_t> first_;
  CellGrid grid_;
};

// One connected stretch of an offset toolpath.
struct OffsetPiece {
  std::vector<PathCurve> curves;
  bool closed = false;  // it ends where it starts
};

// A place where the tool did not fit and the toolpath was left out there.
struct OffsetMisfit {
  Point2 at;                   // on the drawing, where the cut is missing
  double droppedLength = 0.0;  // drawn length whose toolpath was left out, mm
};

struct LoopOffset {
  std::vector<OffsetPiece> pieces;  // in the loop's order and sense
  std::vector<OffsetMisfit> misfits;
};

// The toolpath that keeps the tool's edge on the closed loop, its centre
// `leftDistance` to the left of the direction of travel (negative: right).
//
// Each element is offset on its own, which keeps its kind: a line moves
// along its normal, an arc keeps its centre and changes its radius (the
// offset of a circle is a concentric circle). Consecutive offsets are
// joined by an arc about their common vertex with the tool radius: at a
// convex corner that is the path of the tool rolling round the corner; at a
// concave corner it is a short loop back. Every point of that raw path lies
// exactly the tool radius from the element it came from; it is a valid tool
// position where no other outline is nearer (`clearance`), and everything
// else is left out: the loops of concave corners (which leaves each corner
// trimmed to the intersection of its neighbouring offsets), arcs smaller
// than the tool, slots and necks narrower than the tool. The raw path is
// sampled, each step as long as the room the tool has there (nothing can
// come nearer within it) and at least a spacing that keeps a missed
// intrusion under spacing^2 / (8 radius) deep; each boundary is found by
// bisection. Kept
// stretches that meet are joined; where they do not, or where a drawn
// element lost its whole toolpath, the place is reported.
// `loopNumber` is the loop's place among the clearance's loops.
LoopOffset offsetLoop(const std::vector<PathCurve>& loop, double leftDistance,
                      const ToolClearance& clearance, size_t loopNumber);

}  // namespace brevanto
