#include "geometry/line_joining.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings.h"
#include "support/elements.h"
#include "support/settings_source.h"

namespace brevanto {
namespace {

using test::arcElement;
using test::lineElement;
using test::PassResult;
using test::sameElement;
using test::SettingsTable;

// One application at the given "Prezision" (0: the default).
PassResult lineMerge(const std::vector<PathElement>& list, double precision = 0.0) {
  return test::applyPassAt(LineMerge, list, 0, precision);
}

struct LinePairCase {
  const char* name;
  const char* precision;
  PathElement a;
  PathElement b;
  bool joined;
};

// Nearly vertical, leaning left of it: direction -89.9 degrees.
const double kLeanX = -10.0 / std::tan(89.9 * 3.141592653589793 / 180.0);

const LinePairCase kLinePairs[] = {
    {"SlightBendJoins", "", lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 0.04), true},
    {"BendOfFiveDegreesKept", "", lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 1), false},
    {"StraightOnJoins", "", lineElement(0, 0, 10, 0), lineElement(10, 0, 25, 0), true},
    {"NoWrapAtTheVertical", "", lineElement(0, 0, 0, 10), lineElement(0, 10, kLeanX, 20), false},
    {"OtherShapeKept", "", lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 0, 2), false},
    // Directions 90 and 0 differ by exactly 90: a tolerance of exactly 90 joins.
    {"ToleranceExactlyEqualJoins", "900", lineElement(0, 0, 0, 10), lineElement(0, 10, 10, 10),
     true},
    {"ToleranceJustBelowKept", "899.99", lineElement(0, 0, 0, 10), lineElement(0, 10, 10, 10),
     false},
    {"WiderPrecisionJoinsFiveDegrees", "60", lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 1),
     true},
    {"UnreadablePrecisionIsTheDefault", "x", lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 0.04),
     true},
};

class LinePair : public testing::TestWithParam<LinePairCase> {};

TEST_P(LinePair, JoinsWhenTheDirectionsAgree) {
  const LinePairCase& c = GetParam();
  SettingsTable settings(test::SettingsMap{{"Prezision", c.precision}});
  const double precision = readPrecision(settings.source());
  PathElement a = c.a;
  a.clockwise = 1;  // lines carry A's flag into the joined line
  a.colourIndex = 3;
  const PassResult r = lineMerge({a, c.b}, precision);
  EXPECT_FALSE(r.wroteBeyond);
  EXPECT_TRUE(sameElement(r.written.back(), PathElement{}));
  if (!c.joined) {
    ASSERT_EQ(r.result, 2);
    EXPECT_TRUE(sameElement(r.written[0], a));
    EXPECT_TRUE(sameElement(r.written[1], c.b));
    return;
  }
  ASSERT_EQ(r.result, 1);
  PathElement expected;
  expected.startX = a.startX;
  expected.startY = a.startY;
  expected.endX = c.b.endX;
  expected.endY = c.b.endY;
  const double dy = c.b.endY - a.startY;
  const double dx = c.b.endX - a.startX;
  expected.length = std::sqrt(dy * dy + dx * dx);
  expected.clockwise = 1;
  expected.shapeKey = a.shapeKey;
  expected.colourIndex = 3;
  EXPECT_TRUE(sameElement(r.written[0], expected));
}

INSTANTIATE_TEST_SUITE_P(Pairs, LinePair, testing::ValuesIn(kLinePairs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LineMerge, SlightBendGivesTheStraightDistance) {
  const PassResult r = lineMerge({lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 0.04)});
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.written[0].length, std::sqrt(400.0016));
}

// Lines running back over themselves share a direction, but joining them
// would drop the stretch cut out and back, or a whole retraced stroke.
TEST(LineMergeRegression, LinesRunningInOppositeSensesAreNotJoined) {
  const std::vector<std::vector<PathElement>> reversals = {
      {lineElement(0, 0, 10, 0), lineElement(10, 0, 5, 0)},
      {lineElement(0, 0, 10, 0), lineElement(10, 0, 0, 0)},
      {lineElement(0, 0, 0, 10), lineElement(0, 10, 0, -3)},
  };
  for (const auto& pair : reversals) {
    const PassResult r = lineMerge(pair);
    ASSERT_EQ(r.result, 2);
    EXPECT_TRUE(sameElement(r.written[0], pair[0]));
    EXPECT_TRUE(sameElement(r.written[1], pair[1]));
  }
  // Like any pair that is not joined, the walk moves on by two: the third
  // line is not compared with the second.
  const PassResult r =
      lineMerge({lineElement(0, 0, 10, 0), lineElement(10, 0, 5, 0), lineElement(5, 0, 2, 0)});
  EXPECT_EQ(r.result, 3);
}

TEST(LineMerge, LineNextToAnArcIsCopiedAndThePairingShifts) {
  const PathElement arc = arcElement(-10, 0, 0, 0, -5, 0, 5, 15.7);
  const PassResult r = lineMerge(
      {arc, lineElement(0, 0, 10, 0), lineElement(10, 0, 20, 0), lineElement(20, 0, 20, 9)});
  ASSERT_EQ(r.result, 3);
  EXPECT_TRUE(sameElement(r.written[0], arc));
  EXPECT_EQ(r.written[1].endX, 20.0);
  EXPECT_EQ(r.written[2].endY, 9.0);
}

TEST(LineMerge, LastRealElementIsNeverJoinedWithTheZeroElement) {
  // A vertical line of shape 0 has the zero element's direction and key.
  const PathElement vertical = lineElement(0, 0, 0, 5, 0);
  for (const auto& list :
       {std::vector<PathElement>{vertical},
        std::vector<PathElement>{arcElement(0, 5, 0, 0, 0, 2.5, 2.5, 7.85), vertical}}) {
    const PassResult r = lineMerge(list);
    ASSERT_EQ(r.result, static_cast<int32_t>(list.size()));
    EXPECT_TRUE(sameElement(r.written[list.size() - 1], vertical));
  }
}

TEST(LineMerge, NanRadiusIsNeverJoined) {
  PathElement degenerate = lineElement(0, 0, 1, 0);
  degenerate.radius = std::nan("");
  EXPECT_EQ(lineMerge({degenerate, lineElement(1, 0, 2, 0)}).result, 2);
}

TEST(LineMerge, NonPositiveCountWritesNothing) {
  PathElement out;
  out.shapeKey = 99;
  const PathElement in;
  for (const int32_t count : {0, -5}) {
    EXPECT_EQ(LineMerge(&in, &out, &count, 0.0), -1);
    EXPECT_EQ(out.shapeKey, 99);
  }
}

}  // namespace
}  // namespace brevanto
