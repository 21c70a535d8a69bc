#pragma once

#include <vector>

#include "geometry/path_element.h"
#include "geometry/point2.h"
#include "settings/settings.h"

namespace brevanto {

// The work origin (Origin): with `drawing` the lower-left corner of the
// joined path of every shape (arc extremes included, before any tool offset)
// moves to X0 Y0, with `centre` the middle of that extent; `page` leaves the
// drawing where it lies. Every element is moved by the same amount, which is
// returned (added to the drawing's coordinates); {0, 0} for `page` or an
// empty list.
Point2 placeWorkOrigin(std::vector<PathElement>& elements, WorkOrigin origin);

}  // namespace brevanto
