#include "job/work_origin.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevanto {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Extent {
  double minX = std::numeric_limits<double>::infinity();
  double minY = std::numeric_limits<double>::infinity();
  double maxX = -std::numeric_limits<double>::infinity();
  double maxY = -std::numeric_limits<double>::infinity();
  void add(double x, double y) {
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
};

// An arc reaches past its end points where it passes one of the four axis
// directions about its centre within its turn.
void addArcExtremes(const PathElement& e, Extent& extent) {
  const double turn = turnRadians(e);
  const double start = std::atan2(e.startY - e.centreY, e.startX - e.centreX);
  for (int quarter = 0; quarter < 4; ++quarter) {
    const double axis = quarter * kPi / 2.0;
    double along = e.clockwise == 1 ? start - axis : axis - start;
    along = std::fmod(along, 2.0 * kPi);
    if (along < 0.0) along += 2.0 * kPi;
    if (along <= turn) {
      extent.add(e.centreX + e.radius * std::cos(axis), e.centreY + e.radius * std::sin(axis));
    }
  }
}

}  // namespace

Point2 placeWorkOrigin(std::vector<PathElement>& elements, WorkOrigin origin) {
  if (origin == WorkOrigin::Page || elements.empty()) return {};
  Extent extent;
  for (const PathElement& e : elements) {
    extent.add(e.startX, e.startY);
    extent.add(e.endX, e.endY);
    if (e.radius > 0.0) addArcExtremes(e, extent);
  }
  const Point2 shift = origin == WorkOrigin::Drawing ? Point2{-extent.minX, -extent.minY}
                                                     : Point2{-(extent.minX + extent.maxX) / 2.0,
                                                              -(extent.minY + extent.maxY) / 2.0};
  for (PathElement& e : elements) {
    e.startX += shift.x;
    e.startY += shift.y;
    e.endX += shift.x;
    e.endY += shift.y;
    e.centreX += shift.x;
    e.centreY += shift.y;
  }
  return shift;
}

}  // namespace brevanto
