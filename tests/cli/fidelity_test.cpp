// The fidelity figure: the largest distance between the path a program
// describes and the drawing's curves, both ways, with where it occurs.
#include "report/fidelity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "job/job.h"
#include "geometry/path_element.h"
#include "support/elements.h"
#include "support/segments.h"
#include "support/settings_source.h"

namespace brevanto::cli {
namespace {

using test::curve;
using test::line;
using test::lineElement;

// An arc about (cx, cy) through its end points, as the joining leaves it.
PathElement arc(double x0, double y0, double x1, double y1, double cx, double cy, bool clockwise) {
  const double r = std::hypot(x0 - cx, y0 - cy);
  return test::arcElement(x0, y0, x1, y1, cx, cy, r, r, clockwise ? 1 : 0);
}

// Quarter circles of radius r about the origin as cubic Beziers, counter-
// clockwise from angle q*90 degrees.
Segment quarter(double r, int q, int32_t shape = 1) {
  const double k = 0.5522847498 * r;
  const double a = q * 3.141592653589793 / 2.0;
  const double c = std::cos(a), s = std::sin(a), c1 = -s,
               s1 = c;  // next quarter
  return curve(r * c, r * s, r * c - k * s, r * s + k * c, r * c1 + k * c, r * s1 + k * s, r * c1,
               r * s1, 16.0F, shape);
}

struct Case {
  const char* name;
  std::vector<Segment> drawing;
  std::vector<PathElement> path;
  double distance;  // expected, within `within`
  double within;
  bool pathStrays;
  double x, y;  // where, when the case pins it down
};

TEST(Fidelity, LargestDistanceBothWays) {
  const std::vector<Case> cases = {
      {"identical line",
       {line(0, 0, 10, 0, 10, 1)},
       {lineElement(0, 0, 10, 0)},
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
      {"parallel line half a millimetre off",
       {line(0, 0, 10, 0, 10, 1)},
       {lineElement(0, 0.5, 10, 0.5)},
       0.5,
       1e-9,
       true,
       NAN,
       NAN},
      {"quarter circle cut as one arc",
       {quarter(10, 0)},
       {arc(10, 0, 0, 10, 0, 0, false)},
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"three-quarter arc cut the long way",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2)},
       {arc(10, 0, 0, -10, 0, 0, false)},
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"full circle as two halves",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2), quarter(10, 3)},
       [] {
         PathElement e = arc(-10, 0, -10, 0, 0, 0, true);
         e.startAngle = e.endAngle = 180.0;
         return std::vector<PathElement>{e};
       }(),
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"part of the drawing not cut",
       {line(0, 0, 10, 0, 10, 1), line(10, 0, 10, 10, 10, 1)},
       {lineElement(0, 0, 10, 0)},
       10.0,
       1e-9,
       false,
       10.0,
       10.0},
      {"gap in a shape bridged by the next move",
       {line(0, 0, 10, 0, 10, 1), line(20, 4, 30, 4, 10, 1)},
       {lineElement(0, 0, 10, 0), lineElement(20, 4, 30, 4)},
       // The bridge from (10,0) to (30,4) is farthest from both lines where
       // it is equally far from (10,0) and (20,4): at a quarter of its run.
       116.0 / 432.0 * std::hypot(20.0, 4.0),
       0.01,
       true,
       10.0 + 20.0 * 116.0 / 432.0,
       4.0 * 116.0 / 432.0},
      {"new shape starts with a rapid move, not a cut",
       {line(0, 0, 10, 0, 10, 1), line(0, 50, 10, 50, 10, 2)},
       {lineElement(0, 0, 10, 0, 1), lineElement(0, 50, 10, 50, 2)},
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Deviation d = measureDeviation(c.drawing, c.path);
    ASSERT_TRUE(d.measured);
    EXPECT_NEAR(d.distance, c.distance, c.within);
    if (c.distance > 0.1) {
      EXPECT_EQ(d.pathStrays, c.pathStrays);
    }
    if (!std::isnan(c.x)) {
      EXPECT_NEAR(d.x, c.x, 0.01);
      EXPECT_NEAR(d.y, c.y, 0.01);
    }
  }
}

TEST(Fidelity, AnArcCutTheShortWayIsFarOff) {
  // The same three-quarter arc, but marked as turning the other way: the
  // machine then cuts the remaining quarter instead.
  const std::vector<Segment> drawing = {quarter(10, 0), quarter(10, 1), quarter(10, 2)};
  const Deviation d = measureDeviation(drawing, {{arc(10, 0, 0, -10, 0, 0, true)}});
  EXPECT_GT(d.distance, 5.0);
}

TEST(Fidelity, NothingToCompare) {
  EXPECT_FALSE(measureDeviation({}, {}).measured);
  const Segment broken = line(NAN, 0, 1, 1, 1, 1);
  EXPECT_FALSE(measureDeviation({&broken, 1}, {}).measured);
}

// A flat ellipse: its curvature changes all the way round, so a coarse
// precision joins arcs of clearly different radii into one.
std::vector<Segment> flatEllipse() {
  const double rx = 40.0, ry = 10.0, k = 0.5522847498;
  return {curve(rx, 0, rx, k * ry, k * rx, ry, 0, ry, 50.0F, 1),
          curve(0, ry, -k * rx, ry, -rx, k * ry, -rx, 0, 50.0F, 1),
          curve(-rx, 0, -rx, -k * ry, -k * rx, -ry, 0, -ry, 50.0F, 1),
          curve(0, -ry, k * rx, -ry, rx, -k * ry, rx, 0, 50.0F, 1)};
}

Deviation deviationAtPrecision(const std::vector<Segment>& drawing, const std::string& precision) {
  test::SettingsTable settings(test::workedExampleSettings());
  settings["Prezision"] = precision;
  JobReport report;
  report.keepElements = true;
  const auto last = static_cast<int32_t>(drawing.size()) - 1;
  EXPECT_GE(runGuardedJob(drawing.data(), &last, &report), 0);
  return measureDeviation(drawing, report.elements);
}

TEST(Fidelity, CoarsePrecisionShowsInTheFigure) {
  const std::vector<Segment> drawing = flatEllipse();
  // The default precision follows the drawing within a few hundredths...
  EXPECT_LT(deviationAtPrecision(drawing, "").distance, 0.05);
  // ...a precision of 30 joins arcs that part from it by millimetres.
  const Deviation coarse = deviationAtPrecision(drawing, "30");
  EXPECT_GT(coarse.distance, 1.0);
  EXPECT_TRUE(coarse.pathStrays);
  EXPECT_EQ(coarse.shapeKey, 1);
}

}  // namespace
}  // namespace brevanto::cli
