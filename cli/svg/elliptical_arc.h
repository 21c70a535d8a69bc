#pragma once

#include <vector>

namespace brevanto::cli {

// One cubic Bezier piece of an arc; its start is the previous piece's end.
struct ArcCubic {
  double x1, y1, x2, y2, x, y;
};

// What an SVG elliptical arc command draws from (x0, y0) to (x, y).
struct ArcOutline {
  enum class Kind {
    Nothing,  // the end is the start: no arc at all
    Line,     // a radius is zero (or not finite): a straight line to the end
    Cubics,   // the arc as cubics of at most a quarter turn each
  } kind = Kind::Nothing;
  std::vector<ArcCubic> cubics;
};

// Centre form of an arc: centre, radii (scaled up when too small to reach the
// end), and the ellipse's parameter at the start and at the end, in radians;
// theta2 - theta1 is the signed sweep (positive in the sweep-flag direction).
struct ArcCentre {
  double cx, cy, rx, ry, theta1, theta2;
};

// Endpoint to centre conversion with SVG's radius correction. Radii must be
// positive and the end must differ from the start.
ArcCentre arcCentre(double x0, double y0, double rx, double ry, double phi, bool largeArc,
                    bool sweep, double x, double y);

// The arc command as SVG settles it: nothing when the end is the start, a
// line when a radius is zero, negative radii count as positive; otherwise the
// fewest cubics of at most 90 degrees, the last ending exactly at (x, y).
ArcOutline ellipticalArc(double x0, double y0, double rx, double ry, double xAxisRotationDegrees,
                         bool largeArc, bool sweep, double x, double y);

}  // namespace brevanto::cli
