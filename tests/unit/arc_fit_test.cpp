#include "geometry/arc_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace brevanto {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

PathElement fit(Point2 a, Point2 b, Point2 c) {
  PathElement e;
  e.shapeKey = 7;
  e.colourIndex = 3;
  ArcFit(a, b, c, e);
  return e;
}

TEST(ArcFit, HalfCircleWithCentreOnStartLineTakesWholeTurnAsSweep) {
  const PathElement e = fit({1, 0}, {0, 1}, {-1, 0});
  EXPECT_EQ(e.centreX, 0.0);
  EXPECT_EQ(e.centreY, 0.0);
  EXPECT_EQ(e.radius, 1.0);
  EXPECT_EQ(e.clockwise, 0);
  EXPECT_EQ(e.startAngle, 0.0);  // start y equals centre y: both angles 0
  EXPECT_EQ(e.endAngle, 0.0);
  EXPECT_EQ(e.length, 6.28);
  EXPECT_EQ(e.radiusPerLength, static_cast<float>(1.0 / 6.28));
  EXPECT_EQ(e.radiusPerLength, 0.15923567F);
  EXPECT_EQ(e.shapeKey, 7);  // left to the caller
  EXPECT_EQ(e.colourIndex, 3);
}

TEST(ArcFit, UpperArcCounterClockwise) {
  const PathElement e = fit({3, 4}, {0, 5}, {-3, 4});
  EXPECT_EQ(e.centreX, 0.0);
  EXPECT_EQ(e.centreY, 0.0);
  EXPECT_EQ(e.radius, 5.0);
  EXPECT_EQ(e.clockwise, 0);
  EXPECT_NEAR(e.startAngle, 306.869897645844, 1e-9);
  EXPECT_NEAR(e.endAngle, 233.130102354156, 1e-9);
  EXPECT_NEAR(e.length, 5 * 3.14 * 73.74 / 180, 1e-12);
  EXPECT_EQ(e.radiusPerLength, 0.77739137F);
}

TEST(ArcFit, ReversedUpperArcIsClockwiseWithAnglesExchanged) {
  const PathElement forward = fit({3, 4}, {0, 5}, {-3, 4});
  const PathElement e = fit({-3, 4}, {0, 5}, {3, 4});
  EXPECT_EQ(e.clockwise, 1);
  EXPECT_EQ(e.startAngle, forward.endAngle);
  EXPECT_EQ(e.endAngle, forward.startAngle);
  EXPECT_EQ(e.length, forward.length);
}

TEST(ArcFit, ArcAcrossPlusXTakesDifferenceOfMagnitudes) {
  const PathElement e = fit({4, -3}, {5, 0}, {4, 3});
  EXPECT_NEAR(e.startAngle, 36.869897645844, 1e-9);
  EXPECT_NEAR(e.endAngle, 323.130102354156, 1e-9);
  // s stays unrounded, e folds to -36.87: the sweep is about 0.000102 degree.
  const double sweep = std::fabs(std::fabs(e.startAngle) - 36.87);
  EXPECT_NEAR(sweep, 0.000102354, 1e-8);
  EXPECT_NEAR(e.length, 0.0000089, 1e-7);
  EXPECT_NEAR(e.radiusPerLength, 5.6e5, 0.01e5);
}

TEST(ArcFit, SlantedCollinearPointsGiveLine) {
  const PathElement e = fit({0, 0}, {1, 1}, {2, 2});
  EXPECT_EQ(e.startX, 0.0);
  EXPECT_EQ(e.endX, 2.0);
  EXPECT_EQ(e.endY, 2.0);
  EXPECT_EQ(e.length, std::sqrt(8.0));
  EXPECT_EQ(e.radius, 0.0);
  EXPECT_EQ(e.centreX, 0.0);
  EXPECT_EQ(e.centreY, 0.0);
  EXPECT_EQ(e.startAngle, 0.0);
  EXPECT_EQ(e.endAngle, 0.0);
  EXPECT_EQ(e.clockwise, 0);
  EXPECT_EQ(e.radiusPerLength, 0.0F);
}

TEST(ArcFit, AxisParallelCollinearPointsGiveDegenerateElement) {
  const PathElement e = fit({0, 0}, {0.5, 0}, {1, 0});
  EXPECT_TRUE(std::isnan(e.centreX));
  EXPECT_EQ(e.centreY, kInf);
  EXPECT_TRUE(std::isnan(e.radius));
  EXPECT_TRUE(std::isnan(e.length));
  EXPECT_TRUE(std::isnan(e.radiusPerLength));
  EXPECT_EQ(e.clockwise, 1);
  EXPECT_EQ(e.startAngle, 0.0);
  EXPECT_EQ(e.endAngle, 0.0);
  EXPECT_EQ(e.endX, 1.0);
}

TEST(ArcFit, CoincidentPointsGiveDegenerateElement) {
  const PathElement e = fit({2, 3}, {2, 3}, {2, 3});
  EXPECT_TRUE(std::isnan(e.radius));
  EXPECT_EQ(e.clockwise, 1);
}

TEST(ArcFit, HugeRadiusFallsBackToLine) {
  const PathElement e = fit({0, 0}, {5000, 1}, {10000, 0});
  EXPECT_EQ(e.radius, 0.0);
  EXPECT_EQ(e.length, 10000.0);
  EXPECT_EQ(e.endX, 10000.0);
  EXPECT_EQ(e.endY, 0.0);
  EXPECT_EQ(e.clockwise, 0);
}

TEST(ArcFit, AnglesAboveHalfTurnRoundingToSameHundredthGiveWholeTurn) {
  // Points at 200.001 and 200.004 degrees on a circle of radius 10 about
  // (0, 0): both fold to -159.99 + ... and round equal, so the sweep is 360.
  auto at = [](double degrees) {
    const double rad = degrees * 3.141592653589793 / 180.0;
    return Point2{10 * std::cos(rad), -10 * std::sin(rad)};
  };
  PathElement e;
  e.startX = at(200.001).x;
  e.startY = at(200.001).y;
  e.endX = at(200.004).x;
  e.endY = at(200.004).y;
  e.radius = 10.0;
  computeAngles(e);
  ASSERT_NEAR(e.startAngle, 200.001, 1e-9);
  ASSERT_NEAR(e.endAngle, 200.004, 1e-9);
  const PathElement fitted = fit(at(200.001), at(200.0025), at(200.004));
  EXPECT_NEAR(fitted.length, fitted.radius * 3.14 * 360 / 180, 1e-9);
}

}  // namespace
}  // namespace brevanto
