#pragma once

#include "geometry/path_element.h"
#include "geometry/point2.h"

namespace brevanto {

// Fills `element` with the circular arc from `first` through `middle` to
// `last`: centre, radius, angles, turning sense, length and radius/length.
// A circle with a radius above 5000 becomes the straight line first-last.
// shapeKey and colourIndex are left as they are.
void ArcFit(Point2 first, Point2 middle, Point2 last, PathElement& element);

}  // namespace brevanto
