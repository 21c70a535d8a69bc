#include <gtest/gtest.h>

#include <cmath>

#include "geometry/path_element.h"

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

double gamma(double dx, double r) {
  return std::acos(dx / r) * 180.0 / kPi;
}
double alpha(double dy, double r) {
  return std::asin(dy / r) * 180.0 / kPi;
}

// Every ordering of start and end point about the centre (no ties), on a
// circle of radius 5 about (0, 0): points at (+-3, +-4).
struct AngleCase {
  double sx, sy, ex, ey;
  double startAngle, endAngle;
};

TEST(ComputeAngles, SixteenOrderingsPickAsinOrAcosAsTabled) {
  const double r = 5.0;
  const AngleCase cases[] = {
      {-3, -4, -3, -4, gamma(-3, r), gamma(-3, r)},
      {-3, -4, -3, 4, gamma(-3, r), 360 - gamma(-3, r)},
      {-3, 4, -3, -4, 360 - gamma(-3, r), gamma(-3, r)},
      {-3, 4, -3, 4, 360 - gamma(-3, r), 360 - gamma(-3, r)},
      {-3, -4, 3, -4, gamma(-3, r), gamma(3, r)},
      {-3, -4, 3, 4, gamma(-3, r), 360 - alpha(4, r)},
      {-3, 4, 3, -4, 360 - gamma(-3, r), gamma(3, r)},
      {-3, 4, 3, 4, 360 - gamma(-3, r), 360 - alpha(4, r)},
      {3, -4, -3, -4, gamma(3, r), gamma(-3, r)},
      {3, -4, -3, 4, gamma(3, r), 360 - gamma(-3, r)},
      {3, 4, -3, -4, 360 - gamma(3, r), gamma(-3, r)},
      {3, 4, -3, 4, 360 - gamma(3, r), 360 - gamma(-3, r)},
      {3, -4, 3, -4, gamma(3, r), gamma(3, r)},
      {3, -4, 3, 4, gamma(3, r), 360 - gamma(3, r)},
      {3, 4, 3, -4, 360 - alpha(4, r), gamma(3, r)},
      {3, 4, 3, 4, 360 - alpha(4, r), 360 - alpha(4, r)},
  };
  for (const AngleCase& c : cases) {
    PathElement e;
    e.startX = c.sx;
    e.startY = c.sy;
    e.endX = c.ex;
    e.endY = c.ey;
    e.radius = r;
    computeAngles(e);
    EXPECT_EQ(e.startAngle, c.startAngle) << c.sx << "," << c.sy << " -> " << c.ex << "," << c.ey;
    EXPECT_EQ(e.endAngle, c.endAngle) << c.sx << "," << c.sy << " -> " << c.ex << "," << c.ey;
  }
}

TEST(ComputeAngles, SingleCoordinateTieZeroesBothAngles) {
  PathElement e;
  e.startX = 3;
  e.startY = 4;
  e.endX = 0;  // end x equals centre x
  e.endY = -5;
  e.radius = 5;
  e.startAngle = e.endAngle = 99;
  computeAngles(e);
  EXPECT_EQ(e.startAngle, 0.0);
  EXPECT_EQ(e.endAngle, 0.0);
}

TEST(ComputeAngles, QuotientOutsideUnitRangeIsClamped) {
  PathElement e;
  e.startX = -5.0000001;  // a rounding error outside the circle
  e.startY = -1e-9;
  e.endX = 3;
  e.endY = -4;
  e.radius = 5;
  computeAngles(e);
  EXPECT_EQ(e.startAngle, 180.0);
}

TEST(ComputeAngles, RadiusNotAboveZeroLeavesAngles) {
  for (double r : {0.0, -1.0, std::nan("")}) {
    PathElement e;
    e.startX = 3;
    e.startY = 4;
    e.radius = r;
    e.startAngle = 12;
    e.endAngle = 34;
    computeAngles(e);
    EXPECT_EQ(e.startAngle, 12);
    EXPECT_EQ(e.endAngle, 34);
  }
}

}  // namespace
}  // namespace brevanto
