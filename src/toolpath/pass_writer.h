#pragma once

#include <limits>

#include "geometry/point2.h"
#include "toolpath/contour_path.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// How a sink writes a number: the value a reader of the program gets back.
using Rounding = double (*)(double);

// Writes the moves of passes that leave the plane: stretches of a path with
// Z changing along them, vertical moves and rapids. It follows where the
// tool stands as written, so that the descent of every feed move below the
// stock's top (Z 0) can be held, as written, to the steepest slope allowed.
class PassWriter {
 public:
  // `steepest`: the most Z may fall per mm of travel below Z 0 (infinite:
  // any).
  PassWriter(MoveSink& sink, Rounding written, double steepest)
      : sink_(sink), written_(written), steepest_(steepest) {}

  void rapid(Point2 to, double z);  // to (x, y) and z at once
  void rapidTo(Point2 to);
  void rapidZ(double z);
  void plunge(double z);  // straight down at the plunge feed
  void climb(double z);   // straight up at the cutting feed
  // Cuts along `path` from s0 to s1 (backwards where s1 < s0), Z going from
  // z0 to z1 in proportion to the distance travelled.
  void stretch(const ContourPath& path, double s0, double s1, double z0, double z1);

  [[nodiscard]] double z() const { return z_; }
  void allowSlope(double steepest) { steepest_ = steepest; }

 private:
  // The part of `piece` from `a` to `b` mm along it (b < a: backwards),
  // ending at z.
  void piecePart(const PathPiece& piece, double a, double b, double z);
  void feedMove(ToolMove move, Point2 to, double z);

  MoveSink& sink_;
  Rounding written_;
  double steepest_;
  Point2 at_{};
  double z_ = 0.0;
  bool feedDue_ = true;  // the next feed move states the cutting feed
};

}  // namespace brevanto
