#include "geometry/curve_flattening.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/segments.h"

namespace brevanto {
namespace {

using test::curve;

TEST(SubdivisionCount, FollowsLengthTable) {
  const struct {
    float length;
    int32_t count;
  } cases[] = {
      {0.0F, 4},    {0.5F, 4},       {-0.5F, 4},      {0.999F, 4},     {1.0F, 2},
      {1.7F, 2},    {2.0F, 4},       {7.9F, 14},      {60.0F, 120},    {60.99F, 120},
      {61.0F, 120}, {15000.0F, 120}, {20000.0F, 120}, {40000.0F, 120}, {1e9F, 120},
  };
  for (const auto& c : cases) EXPECT_EQ(SubdivisionCount(c.length), c.count) << c.length;
}

TEST(SubdivisionCount, LengthsThatDoNotFitGiveNegativeCount) {
  for (float length :
       {-1.0F, -7.5F, 2147483648.0F, 3e9F, std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_LT(SubdivisionCount(length), 0) << length;
  }
}

TEST(CurveFlattening, ElementCountIsHalfTheSubdivisions) {
  const struct {
    float length;
    size_t arcs;
  } cases[] = {{0.5F, 2}, {1.7F, 1}, {7.9F, 7}, {60.99F, 60}, {20000.0F, 60}, {-3.0F, 0}};
  for (const auto& c : cases) {
    std::vector<PathElement> out;
    CurveFlattening(curve(0, 0, 0, 10, 10, 10, 10, 0, c.length, 1), out);
    EXPECT_EQ(out.size(), c.arcs) << c.length;
  }
}

TEST(CurveFlattening, ArcsShareEndAndStartPointsExactly) {
  std::vector<PathElement> out;
  CurveFlattening(curve(0, 0, 0, 10, 10, 10, 10, 0, 20.0F, 1), out);
  ASSERT_EQ(out.size(), 20U);
  EXPECT_EQ(out.front().startX, 0.0);
  EXPECT_EQ(out.front().startY, 0.0);
  for (size_t i = 1; i < out.size(); ++i) {
    EXPECT_EQ(out[i].startX, out[i - 1].endX);
    EXPECT_EQ(out[i].startY, out[i - 1].endY);
  }
}

TEST(CurveFlattening, LastSampleIsAtAccumulatedParameterNotAtEndPoint) {
  // n = 6: t adds up to 0.9999999999999999, not 1.
  double t = 0.0;
  for (int j = 0; j < 6; ++j) t += 1.0 / 6;
  ASSERT_EQ(t, 0.9999999999999999);

  const Segment s = curve(0, 0, 1, 7, 2, -3, 3.3, 0.7, 3.0F, 1);
  std::vector<PathElement> out;
  CurveFlattening(s, out);
  ASSERT_EQ(out.size(), 3U);
  const Point2 last = curvePoint(s, 0.9999999999999999);
  EXPECT_EQ(out.back().endX, last.x);
  EXPECT_EQ(out.back().endY, last.y);
  EXPECT_NE(last.x, s.x3);
}

TEST(CurvePoint, EvaluatesBernsteinFormInGivenOrder) {
  const Segment s = curve(0.1, 0.2, 1.3, 2.9, 4.7, -1.1, 5.3, 0.3, 1.0F, 1);
  const double t = 0.3;
  const double u = 1 - t;
  const double a = ((t * 3) * t) * u, b = (t * t) * t, d = ((t * 3) * u) * u, e = (u * u) * u;
  const Point2 p = curvePoint(s, t);
  EXPECT_EQ(p.x, ((a * 4.7 + b * 5.3) + d * 1.3) + e * 0.1);
  EXPECT_EQ(p.y, ((a * -1.1 + b * 0.3) + d * 2.9) + e * 0.2);
}

TEST(CurveFlattening, SlantedStraightCurveBecomesLines) {
  std::vector<PathElement> out;
  CurveFlattening(curve(0, 0, 1, 1, 2, 2, 3, 3, 3.0F, 1), out);
  ASSERT_EQ(out.size(), 3U);
  for (const PathElement& e : out) {
    EXPECT_EQ(e.radius, 0.0);
    EXPECT_GT(e.length, 0.0);
  }
}

TEST(CurveFlattening, AxisParallelStraightCurveBecomesDegenerateElements) {
  std::vector<PathElement> out;
  CurveFlattening(curve(0, 0, 1, 0, 2, 0, 3, 0, 3.0F, 1), out);
  ASSERT_EQ(out.size(), 3U);
  for (const PathElement& e : out) {
    EXPECT_TRUE(std::isnan(e.radius));
    EXPECT_EQ(e.clockwise, 1);
  }
}

}  // namespace
}  // namespace brevanto
