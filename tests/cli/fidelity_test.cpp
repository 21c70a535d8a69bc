// The fidelity figure: the largest distance between the path a program
// describes and the drawing's curves, both ways, with where it occurs.
#include "report/fidelity.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "support/segments.h"

namespace brevanto::cli {
namespace {

using test::curve;
using test::line;

// Quarter circles of radius r about the origin as cubic Beziers, counter-
// clockwise from angle q*90 degrees.
Segment quarter(double r, int q, int32_t shape = 1) {
  const double k = 0.5522847498 * r;
  const double a = q * M_PI / 2.0;
  const double c = std::cos(a), s = std::sin(a), c1 = -s, s1 = c;  // next quarter
  return curve(r * c, r * s, r * c - k * s, r * s + k * c, r * c1 + k * c, r * s1 + k * s, r * c1,
               r * s1, 16.0F, shape);
}

// A shape of a program: the approach to (x, y), a plunge, the cutting blocks.
std::string shape(double x, double y, const std::string& cuts) {
  return "( NEXT SHAPE )\nG00 X" + std::to_string(x) + " Y" + std::to_string(y) +
         " Z5\nG01 Z-1 F100\n" + cuts + "G00 Z5\n";
}

struct Case {
  const char* name;
  std::vector<Segment> drawing;
  std::string program;
  double distance;  // expected, within `within`
  double within;
  bool pathStrays;
  double x, y;  // where, when the case pins it down
};

TEST(Fidelity, LargestDistanceBothWays) {
  const std::vector<Case> cases = {
      {"identical line",
       {line(0, 0, 10, 0, 10, 1)},
       shape(0, 0, "G01 X10 Y0\n"),
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
      {"parallel line half a millimetre off",
       {line(0, 0, 10, 0, 10, 1)},
       shape(0, 0.5, "G01 X10 Y0.5\n"),
       0.5,
       1e-9,
       true,
       NAN,
       NAN},
      {"quarter circle cut as one arc",
       {quarter(10, 0)},
       shape(10, 0, "G03 X0 Y10 R10\n"),
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"three-quarter arc cut the long way",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2)},
       shape(10, 0, "G03 X0 Y-10 R-10\n"),
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"full circle as two halves",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2), quarter(10, 3)},
       shape(-10, 0, "G02 X10 Y0 R10\nG02 X-10 Y0 R10\n"),
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"full circle by its centre",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2), quarter(10, 3)},
       shape(10, 0, "G03 X10 Y0 I-10 J0\n"),
       0.0027,
       0.0005,
       true,
       NAN,
       NAN},
      {"the same three quarters cut the short way round the other side",
       {quarter(10, 0), quarter(10, 1), quarter(10, 2)},
       // The drawing's point at 135 degrees is farthest from the quarter cut.
       shape(10, 0, "G02 X0 Y-10 R10\n"),
       std::hypot(10 + 10 / M_SQRT2, 10 / M_SQRT2),
       1e-4,
       false,
       -10 / M_SQRT2,
       10 / M_SQRT2},
      {"part of the drawing not cut",
       {line(0, 0, 10, 0, 10, 1), line(10, 0, 10, 10, 10, 1)},
       shape(0, 0, "G01 X10 Y0\n"),
       10.0,
       1e-9,
       false,
       10.0,
       10.0},
      {"gap in a shape bridged by the next move",
       {line(0, 0, 10, 0, 10, 1), line(20, 4, 30, 4, 10, 1)},
       shape(0, 0, "G01 X10 Y0\nG01 X30 Y4\n"),
       // The bridge from (10,0) to (30,4) is farthest from both lines where
       // it is equally far from (10,0) and (20,4): at a quarter of its run.
       116.0 / 432.0 * std::hypot(20.0, 4.0),
       1e-4,
       true,
       10.0 + 20.0 * 116.0 / 432.0,
       4.0 * 116.0 / 432.0},
      {"new shape starts with a rapid move, not a cut",
       {line(0, 0, 10, 0, 10, 1), line(0, 50, 10, 50, 10, 2)},
       shape(0, 0, "G01 X10 Y0\n") + shape(0, 50, "G01 X10 Y50\n"),
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
      {"a straight cubic that stands still at its ends (control points on them)",
       {curve(10, 10, 10, 10, 40, 10, 40, 10, 30.0F, 1)},
       shape(10, 10, "G01 X11 Y10\nG01 X40 Y10\n"),
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
      {"a straight cubic cut as a straight run",
       {curve(10, 10, 20, 10, 30, 10, 40, 10, 30.0F, 1)},
       shape(10, 10, "G01 X20 Y10\nG01 X40 Y10\n"),
       0.0,
       1e-9,
       true,
       NAN,
       NAN},
      {"rounding to four decimals counts",
       {line(0, 0, 10, 0, 10, 1)},
       shape(0, 0, "G01 X10 Y0.0001\n"),
       0.0001,
       1e-9,
       true,
       10.0,
       0.0001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Deviation d = measureDeviation(c.drawing, readProgramMoves(c.program));
    ASSERT_TRUE(d.measured);
    EXPECT_NEAR(d.distance, c.distance, c.within);
    if (c.distance > 0.1) {
      EXPECT_EQ(d.pathStrays, c.pathStrays);
    }
    if (!std::isnan(c.x)) {
      EXPECT_NEAR(d.x, c.x, 0.01);
      EXPECT_NEAR(d.y, c.y, 0.01);
    }
    // Read line by line and measured shape by shape: the same figure.
    const DrawingIndex index(c.drawing);
    DeviationMeter meter(index, true);
    ProgramMoveReader reader;
    ProgramMove move;
    forEachLine(c.program, [&](std::string_view text) {
      if (reader.read(text, move)) meter.add(move);
    });
    const Deviation streamed = meter.finish();
    if (meter.shapesMatched()) {
      EXPECT_NEAR(streamed.distance, c.distance, c.within);
    }
  }
}

// Cubics whose nearest point the first guesses miss: one that hooks back
// (chord 0.36 mm, 2.19 mm long) and one that slows down to its end, where a
// plain Newton step from the nearest sample runs the wrong way. Each is cut
// as 400 straight moves through points on it, within a micron of it.
TEST(Fidelity, NearestPointOfAWaywardCubic) {
  const std::vector<Segment> cubics = {
      curve(12.7413, -456.7756, 12.7519, -456.7543, 14.9234, -455.3949, 13.003, -456.5995, 2.19F,
            1),
      curve(9.9692, 13.13575, 13.627675, 11.2998, 17.59535, 9.2728, 18.082, 9.0444, 8.0F, 1)};
  for (const Segment& c : cubics) {
    std::string cuts;
    for (int i = 1; i <= 400; ++i) {
      const double t = i / 400.0, u = 1 - t;
      const double a = u * u * u, b = 3 * u * u * t, d = 3 * u * t * t, e = t * t * t;
      char line[80];
      std::snprintf(line, sizeof line, "G01 X%.6f Y%.6f\n",
                    a * c.x0 + b * c.x1 + d * c.x2 + e * c.x3,
                    a * c.y0 + b * c.y1 + d * c.y2 + e * c.y3);
      cuts += line;
    }
    EXPECT_LT(measureDeviation({&c, 1}, readProgramMoves(shape(c.x0, c.y0, cuts))).distance, 0.001);
  }
}

// An arc by I J whose end lies off its circle is cut as a spiral to its end
// (as LinuxCNC cuts it within its tolerance), not round the circle.
TEST(Fidelity, ArcByCentreEndsWhereWritten) {
  const std::vector<Segment> half = {quarter(10, 0), quarter(10, 1)};
  const Deviation d =
      measureDeviation(half, readProgramMoves(shape(10, 0, "G03 X-10.02 Y0 I-10 J0\n")));
  EXPECT_NEAR(d.distance, 0.02, 0.004);
  EXPECT_NEAR(d.x, -10.02, 0.001);
  EXPECT_TRUE(d.pathStrays);
}

TEST(Fidelity, NothingToCompare) {
  EXPECT_FALSE(measureDeviation({}, {}).measured);
  // A program that cuts nothing of a drawing is as far from it as can be.
  const Segment drawn = line(0, 0, 10, 0, 10, 1);
  const Deviation uncut = measureDeviation({&drawn, 1}, readProgramMoves("G00 X0 Y0 Z5\n"));
  EXPECT_TRUE(uncut.measured);
  EXPECT_TRUE(std::isinf(uncut.distance));
  EXPECT_FALSE(uncut.pathStrays);
  // A plunge cuts the point it goes in at: the rest of the line is not cut,
  // and a speck there is cut whole.
  const Deviation plunged = measureDeviation({&drawn, 1}, readProgramMoves(shape(0, 0, "")));
  EXPECT_DOUBLE_EQ(plunged.distance, 10.0);
  EXPECT_FALSE(plunged.pathStrays);
  const Segment speck = line(0, 0, 0.00001, 0, 10, 1);
  EXPECT_LT(measureDeviation({&speck, 1}, readProgramMoves(shape(0, 0, ""))).distance, 1e-4);
  const Segment broken = line(NAN, 0, 1, 1, 1, 1);
  EXPECT_FALSE(
      measureDeviation({&broken, 1}, readProgramMoves(shape(0, 0, "G01 X1 Y1\n"))).measured);
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
  std::ostringstream program;
  JobOptions options;
  options.program = &program;
  options.settings = [&](std::string_view name) -> std::string {
    if (name == "Prezision") return precision;
    for (const SettingInfo& s : kSettings) {
      if (s.name == name) return std::string(s.builtIn);
    }
    return {};
  };
  EXPECT_TRUE(runJob(drawing, options).ok());
  return measureDeviation(drawing, readProgramMoves(program.str()));
}

TEST(Fidelity, CoarsePrecisionShowsInTheFigure) {
  const std::vector<Segment> drawing = flatEllipse();
  // The default precision follows the drawing within a few hundredths...
  EXPECT_LT(deviationAtPrecision(drawing, "").distance, 0.05);
  // ...a precision of 30 joins arcs that part from it by millimetres.
  const Deviation coarse = deviationAtPrecision(drawing, "30");
  EXPECT_GT(coarse.distance, 1.0);
  EXPECT_TRUE(coarse.pathStrays);
  EXPECT_EQ(coarse.shape, 1);
}

}  // namespace
}  // namespace brevanto::cli
