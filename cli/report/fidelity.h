#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "brevanto/brevanto.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// How far the written program strays from the drawing, measured on the
// program as the machine runs it: the cutting moves of each shape's first
// pass as they were written (rounded numbers, arcs about the centre their R
// or I J words give, straight runs included) against the drawing's true
// curves (the cubic Beziers and lines of the Segment records). Both ways
// count: a point of the path far from every curve, and a point of a curve far
// from the path (a part of the drawing that is not cut). Exact to about
// kFidelityTolerance. The work is bounded: pieces piled so densely that
// bounding boxes cannot tell them apart (a million long lines criss-crossing
// a small square) cut the check short rather than make it take hours.
struct Deviation {
  bool measured = false;  // false when there was nothing to compare
  bool whole = true;      // false when the check was cut short: the figure is a least value
  double distance = 0.0;  // mm, the largest distance found
  double x = 0.0;         // where it occurs
  double y = 0.0;
  int32_t shape = 0;       // the program's shape there (1 for the first), or the drawing's
  bool pathStrays = true;  // true: the path is far from the drawing there;
                           // false: the drawing is far from the path
};

inline constexpr double kFidelityTolerance = 1e-4;  // mm

// `segments` are the records the program was made from, `moves` the program
// read back. Non-finite coordinates are left out.
Deviation measureDeviation(std::span<const Segment> segments, std::span<const ProgramMove> moves);

// "0.0148 mm at (-22.2780, 8.3070) in shape 1, where the path strays from the
// drawing" (or "... where the drawing is not cut"); "none: nothing to compare";
// for a program that cuts nothing of a drawing (an infinite distance), that.
std::string describeDeviation(const Deviation& deviation);

}  // namespace brevanto::cli
