#pragma once

#include <array>
#include <vector>

namespace brevanto::cli {

// One command of an element's path data, in absolute user units, as the
// reader reports it: quadratics already raised to cubics, arcs as written.
struct PathCommand {
  enum Kind { Move, Line, Cubic, Arc, Close } kind;
  // Move, Line: x y. Cubic: x1 y1 x2 y2 x y. Arc: rx ry rotation large sweep x y.
  std::array<double, 7> v;
};

// A place where a marker is drawn: the vertex, the direction (radians) of
// the path there, and which marker property applies.
struct MarkerVertex {
  enum Role { Start = 0, Mid = 1, End = 2 } role;
  double x, y, angle;
};

// The vertices of a path in order, with the direction a marker of
// orient="auto" takes: along the path at its ends, halfway between the
// incoming and outgoing directions in between.
std::vector<MarkerVertex> markerVertices(const std::vector<PathCommand>& path);

}  // namespace brevanto::cli
