#pragma once

#include <cstdint>
#include <vector>

#include "geometry/path_curve.h"
#include "geometry/tool_clearance.h"

namespace brevanto {

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
