// The SVG reader's own arithmetic and syntax helpers, case by case.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "svg/curve_length.h"
#include "svg/elliptical_arc.h"
#include "svg/number_lists.h"

namespace brevanto::cli {
namespace {

TEST(EllipticalArc, SpecialCasesAndQuarterTurns) {
  const double k = 4.0 / 3.0 * (std::sqrt(2.0) - 1.0);  // quarter-circle handle of radius 1
  struct Case {
    const char* name;
    double x0, y0, rx, ry, rotation;
    bool large, sweep;
    double x, y;
    ArcOutline::Kind kind;
    std::vector<ArcCubic> cubics;
  };
  using K = ArcOutline::Kind;
  const std::vector<Case> cases{
      {"end is start", 1, 1, 5, 5, 0, false, true, 1, 1, K::Nothing, {}},
      {"zero radius", 0, 0, 0, 5, 0, false, true, 3, 4, K::Line, {}},
      {"quarter circle", 1, 0, 1, 1, 0, false, true, 0, 1, K::Cubics, {{1, k, k, 1, 0, 1}}},
      {"negative radii", 1, 0, -1, -1, 0, false, true, 0, 1, K::Cubics, {{1, k, k, 1, 0, 1}}},
      // Radius 1 cannot span 10: scaled up to 5, a half circle in two quarters.
      {"radii too small",
       0,
       0,
       1,
       1,
       0,
       false,
       true,
       10,
       0,
       K::Cubics,
       {{0, -5 * k, 5 - 5 * k, -5, 5, -5}, {5 + 5 * k, -5, 10, -5 * k, 10, 0}}},
      // A 2:1 ellipse turned 90 degrees: from (0,-2) over (1,0) to (0,2).
      {"rotated ellipse",
       0,
       -2,
       2,
       1,
       90,
       false,
       true,
       0,
       2,
       K::Cubics,
       {{k, -2, 1, -2 * k, 1, 0}, {1, 2 * k, k, 2, 0, 2}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ArcOutline arc =
        ellipticalArc(c.x0, c.y0, c.rx, c.ry, c.rotation, c.large, c.sweep, c.x, c.y);
    EXPECT_EQ(arc.kind, c.kind);
    ASSERT_EQ(arc.cubics.size(), c.cubics.size());
    for (size_t i = 0; i < c.cubics.size(); ++i) {
      const ArcCubic& got = arc.cubics[i];
      const ArcCubic& want = c.cubics[i];
      for (auto [g, w] : {std::pair{got.x1, want.x1},
                          {got.y1, want.y1},
                          {got.x2, want.x2},
                          {got.y2, want.y2},
                          {got.x, want.x},
                          {got.y, want.y}}) {
        EXPECT_NEAR(g, w, 1e-12);
      }
    }
  }
}

TEST(EllipticalArc, LargeArcFlagPicksTheLongWayRound) {
  // Same ends and radius: the small arc is a quarter turn, the large one three.
  EXPECT_EQ(ellipticalArc(1, 0, 1, 1, 0, false, true, 0, 1).cubics.size(), 1U);
  EXPECT_EQ(ellipticalArc(1, 0, 1, 1, 0, true, true, 0, 1).cubics.size(), 3U);
  const ArcCentre small = arcCentre(1, 0, 1, 1, 0, false, true, 0, 1);
  const ArcCentre large = arcCentre(1, 0, 1, 1, 0, true, true, 0, 1);
  EXPECT_NEAR(small.theta2 - small.theta1, M_PI / 2, 1e-12);
  EXPECT_NEAR(large.theta2 - large.theta1, 3 * M_PI / 2, 1e-12);
  EXPECT_NEAR(large.cx, 1.0, 1e-12);
  EXPECT_NEAR(large.cy, 1.0, 1e-12);
}

// A record's length is measured only as finely as the job's choice of
// samples needs: whatever it settles on must choose the samples the full
// measure does, for curves of every size from a hair to beyond the cap,
// loops and cusps included.
TEST(CurveRecordLength, ChoosesTheSamplesOfTheFullMeasure) {
  std::mt19937_64 random(7);
  int settledCoarsely = 0;
  for (int i = 0; i < 200000; ++i) {
    const double scale = std::pow(10.0, std::uniform_real_distribution<double>(-1.5, 2.5)(random));
    std::uniform_real_distribution<double> at(-scale, scale);
    Segment s{};
    s.kind = 1;
    s.x0 = at(random), s.y0 = at(random), s.x1 = at(random), s.y1 = at(random);
    s.x2 = at(random), s.y2 = at(random), s.x3 = at(random), s.y3 = at(random);
    if (i % 7 == 0) s.x3 = s.x0, s.y3 = s.y0;  // a loop
    if (i % 11 == 0) s.x1 = s.x3, s.y1 = s.y3, s.x2 = s.x0, s.y2 = s.y0;  // a cusp
    const auto full = static_cast<float>(cubicLength(s));
    const float settled = curveRecordLength(s);
    settledCoarsely += settled != full;
    ASSERT_TRUE(sameCurveSampling(std::min(full, settled), std::max(full, settled)))
        << i << ": " << full << " against " << settled;
    ASSERT_LE(std::fabs(settled - full), std::max(0.1, 0.01 * full)) << i;
  }
  EXPECT_GT(settledCoarsely, 100000);  // the shortcut is taken
}

TEST(NumberLists, NumbersRunTogetherAreSeparated) {
  const std::pair<const char*, const char*> cases[] = {
      {"translate(-384.57-515.8)", "translate(-384.57 -515.8)"},
      {"scale(1-1)", "scale(1 -1)"},
      {"matrix(.96593.25882 -.25882.96593 0 0)", "matrix(.96593 .25882 -.25882 .96593 0 0)"},
      {"1e-3-2E+2.5", "1e-3 -2E+2 .5"},
      {"0,0 10,5", "0,0 10,5"},
      {"rotate(45) translate(3)", "rotate(45) translate(3)"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(separateNumbers(in), out) << in;
}

}  // namespace
}  // namespace brevanto::cli
