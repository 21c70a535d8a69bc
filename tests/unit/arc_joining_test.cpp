#include "geometry/arc_joining.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/arc_fit.h"
#include "geometry/round_to_decimals.h"
#include "support/elements.h"

namespace brevanto {
namespace {

using test::arcElement;
using test::lineElement;
using test::PassResult;
using test::sameElement;

constexpr double kPi = 3.141592653589793;
constexpr double kDegree = kPi / 180.0;

// One application at the given "Prezision" (0: the default).
PassResult arcMerge(const std::vector<PathElement>& list, double precision = 0.0) {
  return test::applyPassAt(ArcMerge, list, 1, precision);
}

// Arc A of every pair below: centre (0, 0), radius 10, clockwise from (0, 10)
// down to the junction (10, 0); its centre line at the junction runs at 0°.
PathElement arcA(double length = 10.0 * kPi / 2.0) {
  PathElement a = arcElement(0, 10, 10, 0, 0, 0, 10, length);
  a.colourIndex = 4;
  return a;
}

// What decides a pair: B's fields as the pass reads them. B starts at the
// junction (10, 0) with its centre `centreDistance` away along a line tilted
// by `tiltDegrees` against A's centre line.
struct PairCase {
  const char* name;
  double aLength;
  double bRadius;
  double bLength;
  float bRadiusPerLength;
  double tiltDegrees;
  double centreDistance;
  bool joined;
};

PathElement arcB(const PairCase& c) {
  const double tilt = c.tiltDegrees * kDegree;
  PathElement b = arcElement(10, 0, 12, -5, 10 - c.centreDistance * std::cos(tilt),
                             -c.centreDistance * std::sin(tilt), c.bRadius, c.bLength);
  b.radiusPerLength = c.bRadiusPerLength;
  return b;
}

constexpr double kQuarter = 10.0 * kPi / 2.0;  // A's length unless a case says otherwise

// Default precision: p10 = 0.3F (0.29999998...), p3 = 0.09F (0.08999999...),
// radius band (0.70000005, 1.29999995) as single-precision numbers.
const PairCase kPairCases[] = {
    {"RadiiTenAndTwelve", kQuarter, 12, 6, 2, 0, 12, true},
    {"JunctionAt0_29Degrees", kQuarter, 12, 6, 2, 0.29, 12, true},
    {"JunctionBetweenFloatAndDoubleLimit", kQuarter, 12, 6, 2, 0.29999999, 12, false},
    {"JunctionAt0_31Degrees", kQuarter, 12, 6, 2, 0.31, 12, false},
    {"RatioInsideFloatBand", kQuarter, 10 / 0.7000001, 6, 2, 0, 10 / 0.7000001, true},
    {"RatioBetweenFloatAndDoubleBand", kQuarter, 10 / 0.70000002, 6, 2, 0, 10 / 0.70000002, false},
    {"RadiiTenAndTwenty", kQuarter, 20, 6, 2, 0, 20, false},
    {"TenAndTwentyCentresClose", kQuarter, 20, 6, 2, 0, 9.8, true},
    {"TenAndTwentyCentresBetweenFloatAndDouble", kQuarter, 20, 6, 2, 0, 10 - 0.29999999, false},
    {"TenAndTwentyOneShort", 0.5, 20, 0.08, 2, 0, 20, true},
    {"TenAndTwentyShortBetweenFloatAndDouble", 0.5, 20, 0.089999998, 2, 0, 20, false},
    {"TenAndTwentyOneNearlyStraight", 6, 20, 6, 100.5F, 0, 20, true},
    {"TenAndTwentyRatioExactly100", 6, 20, 6, 100.0F, 0, 20, false},
    {"TenAndTwentyLengthsFarApart", kQuarter, 20, 1.5, 2, 0, 20, true},
    {"TenAndTwentyLengthsNotQuiteTenfold", kQuarter, 20, 1.6, 2, 0, 20, false},
};

class ArcPair : public testing::TestWithParam<PairCase> {};

TEST_P(ArcPair, JoinsExactlyWhenTheJunctionAndOneLikenessHold) {
  const PairCase& c = GetParam();
  const PathElement a = arcA(c.aLength);
  const PathElement b = arcB(c);
  const PassResult r = arcMerge({a, b});
  EXPECT_FALSE(r.wroteBeyond);
  if (c.joined) {
    ASSERT_EQ(r.result, 1);
    PathElement expected;
    ArcFit({a.startX, a.startY}, {a.endX, a.endY}, {b.endX, b.endY}, expected);
    expected.shapeKey = a.shapeKey;
    expected.colourIndex = a.colourIndex;
    EXPECT_TRUE(sameElement(r.written[0], expected));
  } else {
    ASSERT_EQ(r.result, 2);
    EXPECT_TRUE(sameElement(r.written[0], a));
    EXPECT_TRUE(sameElement(r.written[1], b));
  }
  EXPECT_TRUE(sameElement(r.written.back(), PathElement{}));
}

INSTANTIATE_TEST_SUITE_P(DefaultPrecision, ArcPair, testing::ValuesIn(kPairCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ArcMerge, OtherShapeOrTurningSenseIsNeverJoined) {
  const PairCase fits = kPairCases[0];
  PathElement otherShape = arcB(fits);
  otherShape.shapeKey = 2;
  PathElement otherSense = arcB(fits);
  otherSense.clockwise = 0;
  for (const PathElement& b : {otherShape, otherSense}) {
    const PassResult r = arcMerge({arcA(), b});
    ASSERT_EQ(r.result, 2);
    EXPECT_TRUE(sameElement(r.written[1], b));
  }
}

// Junction directions on either side of the vertical: a difference above
// 179.9 is the same line seen from both sides.
TEST(ArcMerge, DirectionsAcrossTheVerticalWrapToZero) {
  struct {
    double alphaA, alphaB;
    bool joined;
  } const cases[] = {{89.95, -89.97, true}, {89.85, -89.97, false}, {0.1, -0.1, true}};
  for (const auto& c : cases) {
    // Both arcs meet at (0, 0); each centre lies 10 away along its direction,
    // B's taken through the opposite side where that makes the centres
    // nearly coincide. Each turns 30 degrees clockwise about its
    // centre.
    const double ua = c.alphaA * kDegree;
    const double ub = c.alphaB * kDegree;
    const double sideB = std::cos(ua - ub) < 0 ? -1.0 : 1.0;
    const double ax = 10 * std::cos(ua), ay = 10 * std::sin(ua);
    const double bx = sideB * 10 * std::cos(ub), by = sideB * 10 * std::sin(ub);
    const double fromA = std::atan2(-ay, -ax) + 30 * kDegree;
    const double toB = std::atan2(-by, -bx) - 30 * kDegree;
    const PathElement a =
        arcElement(ax + 10 * std::cos(fromA), ay + 10 * std::sin(fromA), 0, 0, ax, ay, 10, 8);
    const PathElement b =
        arcElement(0, 0, bx + 10 * std::cos(toB), by + 10 * std::sin(toB), bx, by, 10, 8);
    EXPECT_EQ(arcMerge({a, b}).result, c.joined ? 1 : 2) << c.alphaA << " / " << c.alphaB;
  }
}

// Two halves of one circle about (5, 5) that close on each other. B's centre
// and radius are a little off to show whose values the circle takes.
struct CircleCase {
  double aEndX;
  double bStartX;
  bool fullCircle;
};

class HalfCircles : public testing::TestWithParam<CircleCase> {};

TEST_P(HalfCircles, CloseIntoOneCircleAtATenthOfAUnit) {
  const CircleCase& c = GetParam();
  PathElement a = arcElement(2, 5, c.aEndX, 5, 5, 5, 3, 3 * kPi);
  a.colourIndex = 7;
  const PathElement b = arcElement(c.bStartX, 5, 2, 5, 5.02, 5, 3.05, 3.05 * kPi);
  const PassResult r = arcMerge({a, b});
  const PathElement& e = r.written[0];
  if (!c.fullCircle) {
    // B ends on A's start: no circle runs through A's start twice and A's
    // end, so the two stay as they are.
    ASSERT_EQ(r.result, 2);
    EXPECT_TRUE(sameElement(r.written[0], a));
    EXPECT_TRUE(sameElement(r.written[1], b));
    return;
  }
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(e.radius, 3.0);
  EXPECT_EQ(e.centreX, (5.0 + 5.02) * 0.5);
  EXPECT_EQ(e.centreY, 5.0);
  EXPECT_EQ(e.startX, e.centreX - 3.0);
  EXPECT_EQ(e.endX, e.startX);
  EXPECT_EQ(e.startY, 5.0);
  EXPECT_EQ(e.endY, 5.0);
  EXPECT_EQ(e.startAngle, 180.0);
  EXPECT_EQ(e.endAngle, 180.0);
  EXPECT_EQ(e.length, 3.0 * 2.0 * kPi);
  EXPECT_EQ(e.radiusPerLength, static_cast<float>(3.0 / (3.0 * 2.0 * kPi)));
  EXPECT_EQ(e.clockwise, 1);
  EXPECT_EQ(e.shapeKey, 1);
  EXPECT_EQ(e.colourIndex, 7);
}

INSTANTIATE_TEST_SUITE_P(Junctions, HalfCircles,
                         testing::Values(CircleCase{8, 8, true}, CircleCase{8.04, 7.96, true},
                                         CircleCase{1.049, 1.049, true},
                                         CircleCase{1.049, 1.051, false},
                                         // B ends on A's start, but the junction is apart.
                                         CircleCase{8, 8.2, false}));

// Pairs that join as alike at the default precision, but which no one arc
// through their start, junction and end can stand for.
TEST(ArcMerge, APairTakesTheCircleItTurnsAlong) {
  // The last sample of a curve lies a hair's breadth from the point that
  // closes its shape, here across a rounding boundary (0.25 rounds up, the
  // double below it down): still a full circle.
  const double y = 0.25, justBelow = std::nextafter(y, 0.0);
  const PassResult hair = arcMerge(
      {arcElement(2, y, 8, y, 5, y, 3, 3 * kPi), arcElement(8, y, 2, justBelow, 5, y, 3, 3 * kPi)});
  ASSERT_EQ(hair.result, 1);
  EXPECT_TRUE(isFullCircle(hair.written[0]));

  // Two arcs 0.02 mm long on a circle of radius 100 end within a tenth of
  // where they start: one arc of that circle, no circle of radius 100.
  const auto onBigCircle = [](double fromDegrees, double toDegrees) {
    const double f = fromDegrees * kDegree, t = toDegrees * kDegree;
    return arcElement(100 * std::cos(f), 100 * std::sin(f), 100 * std::cos(t), 100 * std::sin(t), 0,
                      0, 100, 100 * (f - t));
  };
  const PassResult tiny = arcMerge({onBigCircle(45.0, 44.99), onBigCircle(44.99, 44.98)});
  ASSERT_EQ(tiny.result, 1);
  EXPECT_FALSE(isFullCircle(tiny.written[0]));
  EXPECT_NEAR(tiny.written[0].radius, 100.0, 1e-3);

  // 320 degrees of radius 3.17 and, meeting smoothly, 40 of radius 2.91: a
  // loop whose ends lie 0.18 apart, not a tenth. The circle through its
  // start, junction and end is no part of it: both stay.
  const double s = 40 * kDegree;
  const PathElement big = arcElement(3.17 * std::cos(s), 3.17 * std::sin(s), 3.17, 0, 0, 0, 3.17,
                                     3.17 * 320 * kDegree, 0);
  const PathElement small = arcElement(3.17, 0, 0.26 + 2.91 * std::cos(s), 2.91 * std::sin(s), 0.26,
                                       0, 2.91, 2.91 * s, 0);
  const PassResult loop = arcMerge({big, small});
  ASSERT_EQ(loop.result, 2);
  EXPECT_TRUE(sameElement(loop.written[0], big));
  EXPECT_TRUE(sameElement(loop.written[1], small));
}

// A chain of arcs on one circle about (0, 0), radius 10, clockwise; `tilted`
// gives the arc's centre line at its start a 5° twist so that it cannot join
// its predecessor.
PathElement chainArc(double fromDegrees, double toDegrees, bool tilted = false) {
  const double f = fromDegrees * kDegree;
  const double t = toDegrees * kDegree;
  const double sx = 10 * std::cos(f), sy = 10 * std::sin(f);
  const double twist = tilted ? 5 * kDegree : 0.0;
  return arcElement(sx, sy, 10 * std::cos(t), 10 * std::sin(t), sx - 10 * std::cos(f + twist),
                    sy - 10 * std::sin(f + twist), 10, 10 * (f - t));
}

TEST(ArcMerge, PairsFromTheFrontAndBAndCStayApart) {
  // A|B fail, B|C would pass, C|D fail: nothing is joined in this pass.
  const std::vector<PathElement> list = {chainArc(90, 60), chainArc(60, 30, true), chainArc(30, 0),
                                         chainArc(0, -30, true)};
  const PassResult r = arcMerge(list);
  ASSERT_EQ(r.result, 4);  // count - 1: nothing changed
  for (size_t i = 0; i < list.size(); ++i) EXPECT_TRUE(sameElement(r.written[i], list[i]));
}

TEST(ArcMerge, SingleCopyShiftsThePairing) {
  // The line is copied alone, so the two arcs after it form a pair.
  const PassResult r = arcMerge({lineElement(0, 20, 0, 10), chainArc(90, 60), chainArc(60, 30)});
  ASSERT_EQ(r.result, 2);
  EXPECT_EQ(r.written[1].startY, 10.0);
  EXPECT_NEAR(r.written[1].endX, 10 * std::cos(30 * kDegree), 1e-12);
}

TEST(ArcMerge, PrecisionSetsTheLimits) {
  const PairCase tilted3 = {"", kQuarter, 12, 6, 2, 3.0, 12, true};
  const std::vector<PathElement> pair = {arcA(), arcB(tilted3)};
  EXPECT_EQ(arcMerge(pair).result, 2);
  EXPECT_EQ(arcMerge(pair, 50.0).result, 1);  // p10 = 5 degrees
  EXPECT_EQ(arcMerge(pair, 3.0).result, 2);   // the default
}

TEST(ArcMerge, NonPositiveCountWritesNothing) {
  PathElement out;
  out.shapeKey = 99;
  const PathElement in;
  for (const int32_t count : {0, -1}) {
    EXPECT_EQ(ArcMerge(&in, &out, &count, 0.0), -1);
    EXPECT_EQ(out.shapeKey, 99);
  }
}

TEST(ArcMerge, NanRadiusIsCopied) {
  PathElement degenerate = arcA();
  degenerate.radius = std::nan("");
  const PassResult r = arcMerge({degenerate, arcB(kPairCases[0])});
  ASSERT_EQ(r.result, 2);
  EXPECT_TRUE(sameElement(r.written[0], degenerate));
}

TEST(RoundToDecimals, RoundsHalfUpAtTheGivenPlace) {
  EXPECT_EQ(RoundToDecimals(1.049, 1), 1.0);
  EXPECT_EQ(RoundToDecimals(1.051, 1), 1.1);
  EXPECT_EQ(RoundToDecimals(-2.25, 1), -2.2);  // half up, not away from zero
  EXPECT_EQ(RoundToDecimals(2.5, 0), 3.0);
  EXPECT_EQ(RoundToDecimals(0.123456785, 8), std::floor(0.123456785 * 1e8 + 0.5) / 1e8);
}

}  // namespace
}  // namespace brevanto
