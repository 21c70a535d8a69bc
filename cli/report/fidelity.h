#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "brevanto/brevanto.h"
#include "geometry/path_element.h"

namespace brevanto::cli {

// How far the written program strays from the drawing, measured on the
// geometry itself: the path the program's moves describe (each cutting move
// from where the previous one ended, arcs by their radius, turning sense and
// short/long choice, full circles as two halves) against the drawing's true
// curves (the cubic Beziers and lines of the Segment records). Both ways
// count: a point of the path far from every curve, and a point of a curve far
// from the path (a part of the drawing that is not cut).
struct Deviation {
  bool measured = false;  // false when there was nothing to compare
  double distance = 0.0;  // mm, the largest distance found
  double x = 0.0;         // where it occurs
  double y = 0.0;
  int32_t shapeKey = 0;    // of the path element or the segment there
  bool pathStrays = true;  // true: the path is far from the drawing there;
                           // false: the drawing is far from the path
};

// `segments` are the records the program was made from, `elements` the final
// list the program was written from. Non-finite coordinates are left out.
Deviation measureDeviation(std::span<const Segment> segments,
                           std::span<const PathElement> elements);

// "0.0148 mm at (-22.2780, 8.3070) in shape 1, where the path strays from the
// drawing" (or "... where the drawing is not cut"); "none: nothing to compare".
std::string describeDeviation(const Deviation& deviation);

}  // namespace brevanto::cli
