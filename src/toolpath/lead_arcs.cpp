#include "toolpath/lead_arcs.h"

#include <cmath>

namespace brevanto {
namespace {

// The centre of a lead: a radius from the join, to the side.
Point2 centreBeside(Point2 at, Point2 direction, int side, double radius) {
  return {at.x - side * radius * direction.y, at.y + side * radius * direction.x};
}

}  // namespace

ContourPath leadInArc(Point2 at, Point2 direction, int side, double radius) {
  const Point2 c = centreBeside(at, direction, side, radius);
  ContourPath lead;
  lead.addArc({c.x - radius * direction.x, c.y - radius * direction.y}, at, c, side < 0);
  return lead;
}

ContourPath leadOutArc(Point2 at, Point2 direction, int side, double radius) {
  const Point2 c = centreBeside(at, direction, side, radius);
  ContourPath lead;
  lead.addArc(at, {c.x + radius * direction.x, c.y + radius * direction.y}, c, side < 0);
  return lead;
}

bool leadFits(const ContourPath& lead, const ToolFits& fits) {
  if (!fits || lead.empty()) return false;
  const double length = lead.length();
  const auto steps = static_cast<int>(std::ceil(length / 0.1));
  for (int i = 0; i <= steps; ++i) {
    if (!fits(lead.pointAt(length * i / steps))) return false;
  }
  return true;
}

}  // namespace brevanto
