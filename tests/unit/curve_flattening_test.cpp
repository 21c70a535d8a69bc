#include "geometry/curve_flattening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

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

// The estimate looks only halfway between the samples; the arcs' true
// distance from the curve, each arc against the stretch it stands for (found
// densely here), must be about as large.
TEST(FlatteningStray, EstimatesHowFarTheArcsLieFromTheCurve) {
  const struct {
    const char* name;
    Segment s;
  } cases[] = {
      {"wave with handles far out", curve(12, 0, 14, 0.14, 14, 0.42, 13.5, 0.5, 0.8F, 1)},
      {"quarter circle", curve(10, 0, 10, 5.52285, 5.52285, 10, 0, 10, 15.7F, 1)},
      {"S curve", curve(0, 0, 30, 40, -10, 40, 20, 0, 70.0F, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<PathElement> arcs;
    CurveFlattening(c.s, arcs);
    const auto n = static_cast<size_t>(SubdivisionCount(c.s.length));
    ASSERT_EQ(arcs.size(), n / 2);
    double truth = 0.0;
    constexpr int kSteps = 20000;
    for (int i = 0; i < kSteps; ++i) {
      const double t = (i + 0.5) / kSteps;
      const PathElement& a = arcs[std::min(arcs.size() - 1, static_cast<size_t>(t * n) / 2)];
      const Point2 p = curvePoint(c.s, t);
      ASSERT_GT(a.radius, 0.0);
      truth = std::max(truth, std::fabs(std::hypot(p.x - a.centreX, p.y - a.centreY) - a.radius));
    }
    const double estimate = flatteningStray(c.s);
    EXPECT_LE(estimate, truth * 1.0001 + 1e-12);
    EXPECT_GE(estimate, truth * 0.5);
  }
  EXPECT_EQ(flatteningStray(test::line(0, 0, 5, 5, 7.1F, 1)), 0.0);
}

}  // namespace
}  // namespace brevanto
