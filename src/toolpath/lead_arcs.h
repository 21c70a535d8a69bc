#pragma once

#include <functional>

#include "geometry/point2.h"
#include "toolpath/contour_path.h"

namespace brevanto {

// Whether the tool, centred at a point, stays clear of every outline of the
// drawing.
using ToolFits = std::function<bool(Point2)>;

// The quarter circle of `radius` on which the tool arrives at `at`
// travelling in the unit `direction`, coming from the side `side` (+1: the
// left of the direction of travel, -1: the right): it joins the path
// tangentially.
ContourPath leadInArc(Point2 at, Point2 direction, int side, double radius);

// The quarter circle on which the tool leaves `at`, travelling in
// `direction`, turning away to the side `side`.
ContourPath leadOutArc(Point2 at, Point2 direction, int side, double radius);

// Whether every point of `lead` is one where the tool fits (sampled every
// tenth of a millimetre and at its ends).
bool leadFits(const ContourPath& lead, const ToolFits& fits);

}  // namespace brevanto
