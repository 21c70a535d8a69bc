#pragma once

#include <vector>

#include "geometry/pocket_rings.h"
#include "geometry/tool_clearance.h"
#include "settings/settings.h"
#include "toolpath/contour_path.h"
#include "toolpath/pocket_plan.h"

namespace brevanto {

// One path of a pocket's pass as it is cut (a ring, or a stretch of a
// line), and how the tool gets there.
struct Visit {
  ContourPath path;
  bool closed = true;
  bool entry = false;     // the tool is lifted and enters afresh before it
  bool helix = false;     // that entry is a helix, round `helixPath`
  ContourPath helixPath;  // the circle, from the helix's start
};

// The ring as a path from its point nearest `near` (an open one from its
// nearer end), run the other way when `reverse`; arcs in parts of at most a
// quarter turn.
ContourPath ringPath(const PocketRing& ring, Point2 near, bool reverse);

// Whether the tool's centre may go straight from a to b within `reach`.
bool linkClear(Point2 a, Point2 b, const ToolClearance& reach);

// PocketStrategy=zigzag: the area inside the outermost rings crossed by
// lines along X a step over apart, to and fro, each joined to the next at
// depth where that keeps within `reach`; then the outermost rings, which
// clean the walls and islands.
std::vector<Visit> zigzagVisits(const PocketPass& pass, const JobSettings& settings);

}  // namespace brevanto
