#include "gcode/program_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "support/elements.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto {
namespace {

using Lines = std::vector<std::string>;

PathElement line(double sx, double sy, double ex, double ey, int32_t key = 1) {
  return test::lineElement(sx, sy, ex, ey, key);
}

PathElement arc(double sx, double sy, double ex, double ey, double cx, double cy, double radius,
                int32_t clockwise, int32_t key = 1) {
  PathElement e = line(sx, sy, ex, ey, key);
  e.centreX = cx;
  e.centreY = cy;
  e.radius = radius;
  e.clockwise = clockwise;
  computeAngles(e);
  return e;
}

// A full circle of radius r from its leftmost point (x, y) round to it again.
PathElement fullCircle(double x, double y, double r, int32_t clockwise, int32_t key = 1) {
  PathElement e = arc(x, y, x, y, x + r, y, r, clockwise, key);
  e.startAngle = 180.0;
  e.endAngle = 180.0;
  return e;
}

std::vector<PathElement> square(int32_t key = 1) {
  return {line(0, 0, 10, 0, key), line(10, 0, 10, 10, key), line(10, 10, 0, 10, key),
          line(0, 10, 0, 0, key)};
}

class ProgramWriterTest : public ::testing::Test {
 protected:
  // Writes the program and returns its lines without their CR LF, which
  // every line must end with.
  Lines program(const std::vector<PathElement>& elements) {
    std::ostringstream out;
    GcodeWriter writer(out);
    writeProgram(elements.data(), static_cast<int32_t>(elements.size()),
                 loadSettings(settings_.source()), writer);
    const std::string bytes = out.str();
    Lines lines;
    for (size_t start = 0; start < bytes.size();) {
      const size_t end = bytes.find("\r\n", start);
      EXPECT_NE(end, std::string::npos) << "unterminated last line";
      if (end == std::string::npos) break;
      lines.push_back(bytes.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // The lines between the eight header lines and the footer, without their
  // block numbers.
  Lines body(const std::vector<PathElement>& elements) {
    Lines lines = program(elements);
    EXPECT_GE(lines.size(), 11U);
    if (lines.size() < 11) return {};
    Lines result(lines.begin() + 8, lines.end() - 3);
    for (auto& l : result) l = l.substr(l.find(' ') + 1);
    return result;
  }

  test::SettingsTable settings_{test::workedExampleSettings()};
};

Lines matching(const Lines& lines, const std::string& prefix) {
  Lines result;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(result),
               [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  return result;
}

TEST_F(ProgramWriterTest, PassDepths) {
  const struct {
    const char* passDepth;
    const char* totalDepth;
    Lines plunges;
  } cases[] = {
      {"1.5", "3", {"G01 Z-1.5000 F100.0 ", "G01 Z-3.0000 F100.0 "}},
      {"1.5", "4", {"G01 Z-1.5000 F100.0 ", "G01 Z-3.0000 F100.0 ", "G01 Z-4.0000 F100.0 "}},
      {"2", "1", {"G01 Z-1.0000 F100.0 "}},
      {"1.5", "0", {"G01 Z-0.0000 F100.0 "}},  // one pass at depth zero
      {"0", "0", {"G01 Z-0.0000 F100.0 "}},
      {"0", "5", {"G01 Z-5.0000 F100.0 "}},  // no pass depth: one pass, all the way
      {"0.3", "0.3", {"G01 Z-0.3000 F100.0 "}},
  };
  for (const auto& c : cases) {
    settings_.set("txtMaxZ", c.passDepth);
    settings_.set("txtDepth", c.totalDepth);
    EXPECT_EQ(matching(body({line(0, 0, 5, 0)}), "G01 Z"), c.plunges)
        << c.passDepth << " / " << c.totalDepth;
  }
}

TEST_F(ProgramWriterTest, ClosedShapeStaysDownBetweenPasses) {
  settings_.set("txtDepth", "3");
  const Lines expected = {
      "( NEXT SHAPE ) ",
      "G00 X0.0000 Y0.0000 Z5.0000 ",
      "G01 Z-1.5000 F100.0 ",
      "G01 X10.0000 Y0.0000 F800.0000 ",
      "G01 X10.0000 Y10.0000 ",
      "G01 X0.0000 Y10.0000 ",
      "G01 X0.0000 Y0.0000 ",
      "G01 Z-3.0000 F100.0 ",
      "G01 X10.0000 Y0.0000 F800.0000 ",
      "G01 X10.0000 Y10.0000 ",
      "G01 X0.0000 Y10.0000 ",
      "G01 X0.0000 Y0.0000 ",
      "G00 Z5.0000 ",
  };
  EXPECT_EQ(body(square()), expected);
}

TEST_F(ProgramWriterTest, OpenShapeRetractsAndReturnsBeforeEveryPass) {
  settings_.set("txtDepth", "3");
  const Lines expected = {
      "( NEXT SHAPE ) ",
      "G00 X1.0000 Y2.0000 Z5.0000 ",
      "G01 Z-1.5000 F100.0 ",
      "G01 X4.0000 Y2.0000 F800.0000 ",
      "G01 X4.0000 Y6.0000 ",
      "G00 Z5.0000 ",
      "G00 X1.0000 Y2.0000 ",
      "G01 Z-3.0000 F100.0 ",
      "G01 X4.0000 Y2.0000 F800.0000 ",
      "G01 X4.0000 Y6.0000 ",
      "G00 Z5.0000 ",
  };
  EXPECT_EQ(body({line(1, 2, 4, 2), line(4, 2, 4, 6)}), expected);
}

// Closure goes by hundredths, not by distance.
TEST_F(ProgramWriterTest, ClosureByHundredths) {
  settings_.set("txtDepth", "3");
  const struct {
    double startX;
    double endX;
    bool closed;
  } cases[] = {{0.001, 0.004, true}, {0.004, 0.006, false}, {0.0, 0.0, true}, {5.0, 5.01, false}};
  for (const auto& c : cases) {
    const Lines lines = body({line(c.startX, 0, 7, 7), line(7, 7, c.endX, 0)});
    EXPECT_EQ(matching(lines, "G00 Z").size(), c.closed ? 1U : 2U) << c.startX << " " << c.endX;
  }
}

TEST_F(ProgramWriterTest, MovesAndFeeds) {
  settings_.set("txtDepth", "1.5");
  const struct {
    const char* what;
    std::vector<PathElement> elements;
    Lines cuts;
  } cases[] = {
      {"line, G02, G03; F on the first cut only",
       {line(0, 0, 20, 0), arc(20, 0, 30, 0, 25, -8.660254037844386, 10, 1),
        arc(30, 0, 40, 0, 35, -8.660254037844386, 10, 0)},
       {"G01 X20.0000 Y0.0000 F800.0000 ", "G02 X30.0000 Y0.0000 R10.0000 ",
        "G03 X40.0000 Y0.0000 R-10.0000 "}},
      {"full circle first: two halves, F on the first",
       {fullCircle(0, 0, 10, 1), line(0, 0, 0, 5)},
       {"G02 X20.0000 Y0.0000 R10.0000 F800.0000 ", "G02 X0.0000 Y0.0000 R10.0000 ",
        "G01 X0.0000 Y5.0000 "}},
      {"full circle later: its first half still carries F",
       {line(-5, 0, 0, 0), fullCircle(0, 0, 2.5, 0)},
       {"G01 X0.0000 Y0.0000 F800.0000 ", "G03 X5.0000 Y0.0000 R2.5000 F800.0000 ",
        "G03 X0.0000 Y0.0000 R2.5000 "}},
      // An R block from a point to itself reads as nothing (or is refused):
      // an arc whose ends meet is the whole circle it turns through.
      {"equal end points at another angle: two halves all the same",
       {[] {
         PathElement e = fullCircle(0, 0, 10, 1);
         e.startAngle = e.endAngle = 90.0;
         return e;
       }()},
       {"G02 X20.0000 Y0.0000 R10.0000 F800.0000 ", "G02 X0.0000 Y0.0000 R10.0000 "}},
      {"a short arc whose ends round together is a straight move",
       {line(0, 0, 1, 0), arc(1, 0, 1.00004, 0, 1.00002, -0.001, 0.001, 1)},
       {"G01 X1.0000 Y0.0000 F800.0000 ", "G01 X1.0000 Y0.0000 "}},
      {"a full circle among other elements is reached by a straight move first",
       {line(0, 0, 5, 5), fullCircle(10, 0, 2, 1)},
       {"G01 X5.0000 Y5.0000 F800.0000 ", "G01 X10.0000 Y0.0000 ",
        "G02 X14.0000 Y0.0000 R2.0000 F800.0000 ", "G02 X10.0000 Y0.0000 R2.0000 "}},
      {"a full circle joined where the tool stands on it is cut from there and back",
       {line(0, 2, 12, 2), fullCircle(10, 0, 2, 1)},
       {"G01 X12.0000 Y2.0000 F800.0000 ", "G02 X12.0000 Y-2.0000 R2.0000 F800.0000 ",
        "G02 X12.0000 Y2.0000 R2.0000 "}},
      {"after a full circle, on round it to where the shape goes on, not across",
       {fullCircle(0, 0, 10, 1), line(10, 10, 10, 15)},
       {"G02 X20.0000 Y0.0000 R10.0000 F800.0000 ", "G02 X0.0000 Y0.0000 R10.0000 ",
        "G02 X10.0000 Y10.0000 R10.0000 ", "G01 X10.0000 Y15.0000 "}},
      {"an R word never falls short of half its chord",
       {line(0, 0, 1, 0), arc(1, 0, 5, 0, 3, -0.5, 1.5, 1)},
       {"G01 X1.0000 Y0.0000 F800.0000 ", "G02 X5.0000 Y0.0000 R2.0000 "}},
      {"a NaN radius is cut as a line",
       {[] {
         PathElement e = line(0, 0, 3, 0);
         e.radius = std::numeric_limits<double>::quiet_NaN();
         return e;
       }()},
       {"G01 X3.0000 Y0.0000 F800.0000 "}},
  };
  for (const auto& c : cases) {
    const Lines lines = body(c.elements);
    ASSERT_GE(lines.size(), 4U) << c.what;
    EXPECT_EQ(Lines(lines.begin() + 3, lines.end() - 1), c.cuts) << c.what;
  }
}

// A positive R means the shorter arc between the end points: longer arcs get
// a negative R, decided by the turn from the start radius to the end radius.
TEST_F(ProgramWriterTest, ArcsOverHalfATurnGetANegativeRadius) {
  settings_.set("txtDepth", "1.5");
  const double h = 8.660254037844386;  // the centre's distance from a chord of 10
  const struct {
    PathElement element;
    const char* r;
  } cases[] = {
      {arc(20, 0, 30, 0, 25, -h, 10, 1), "R10.0000"},   // 60 degrees clockwise over the top
      {arc(20, 0, 30, 0, 25, -h, 10, 0), "R-10.0000"},  // 300 degrees the other way
      {arc(20, 0, 30, 0, 25, h, 10, 1), "R-10.0000"},
      {arc(20, 0, 30, 0, 25, h, 10, 0), "R10.0000"},
      {arc(20, 0, 30, 0, 25, 0, 5, 1), "R5.0000"},  // exactly half a turn keeps R positive
      {arc(20, 0, 30, 0, 25, 0, 5, 0), "R5.0000"},
      {arc(20, 0, 30, 0, 25, -h, 10, 7), "R-10.0000"},  // any other value is the G03 sense
  };
  for (const auto& c : cases) {
    const Lines lines = body({c.element});
    ASSERT_GE(lines.size(), 4U);
    EXPECT_NE(lines[3].find(std::string(" ") + c.r + " "), std::string::npos)
        << lines[3] << " expected " << c.r;
  }
}

// The number after `letter` in a block, or NaN.
double word(const std::string& block, char letter) {
  const size_t at = block.find(std::string(" ") + letter);
  return at == std::string::npos ? NAN : std::strtod(block.c_str() + at + 2, nullptr);
}

// An arc that closes its circle but for a hair: the written numbers must put
// every block's centre where the arc's own is (by I J, or by R as an
// interpreter places it across the chord), and the blocks must turn as far.
TEST_F(ProgramWriterTest, ArcClosingACircleButForAHair) {
  settings_.set("txtDepth", "1.5");
  const double kTau = 2.0 * 3.141592653589793;
  for (const char* dialect : {"classic", "linuxcnc"}) {
    settings_.set("Dialect", dialect);
    for (const double gap : {0.0001, 0.0003, 0.0007}) {
      for (int k = 0; k < 32; ++k) {  // where the fourth decimal's rounding falls
        const int32_t clockwise = k % 2;
        const double cx = 8.9423 + k * 0.0000137, cy = 1.27017 + k * 0.0000071;
        const double r = 0.50781, a0 = 3.1416 + k * 0.2;
        const double a1 = a0 + (clockwise ? 1.0 : -1.0) * gap / r;
        PathElement e = arc(cx + r * std::cos(a0), cy + r * std::sin(a0), cx + r * std::cos(a1),
                            cy + r * std::sin(a1), cx, cy, r, clockwise);
        SCOPED_TRACE(std::string(dialect) + " gap " + std::to_string(gap) + " case " +
                     std::to_string(k));
        const Lines lines = body({e});
        double x = word(lines.at(1), 'X'), y = word(lines.at(1), 'Y'), turned = 0.0;
        for (size_t i = 3; i < lines.size() && lines[i].rfind("G0", 0) == 0; ++i) {
          const double tx = word(lines[i], 'X'), ty = word(lines[i], 'Y');
          if (lines[i].rfind("G01", 0) == 0 || lines[i].rfind("G00", 0) == 0) break;
          double ox = word(lines[i], 'I'), oy = word(lines[i], 'J');
          if (std::isnan(ox)) {  // R: across the chord, left of travel for a short G03
            const double rr = word(lines[i], 'R'), dx = tx - x, dy = ty - y;
            const double c = std::hypot(dx, dy);
            const double h = std::sqrt(std::max(0.0, rr * rr - c * c / 4.0));
            const double side = (clockwise == 1) == (rr < 0.0) ? 1.0 : -1.0;
            ox = dx / 2.0 - side * h * dy / c;
            oy = dy / 2.0 + side * h * dx / c;
          }
          EXPECT_NEAR(x + ox, cx, 0.001) << lines[i];
          EXPECT_NEAR(y + oy, cy, 0.001) << lines[i];
          double step = std::atan2(ty - y - oy, tx - x - ox) - std::atan2(-oy, -ox);
          if (clockwise == 1) step = -step;
          turned += std::fmod(step + 2.0 * kTau, kTau);
          x = tx, y = ty;
        }
        EXPECT_NEAR(turned, kTau - gap / r, 0.01);
      }
    }
  }
}

TEST_F(ProgramWriterTest, EveryRunOfEqualKeysIsOneShape) {
  settings_.set("txtDepth", "1.5");
  const struct {
    std::vector<int32_t> keys;
    size_t shapes;
  } cases[] = {
      {{1, 1, 2, 2, 2, 3}, 3},  // the usual numbering
      {{0, 0, 1}, 2},           // from 0
      {{5, 5, 7}, 2},           // starts high, skips
      {{2, 2, 1, 1, 3}, 3},     // falls back
      {{-4, -4, -1}, 2},        // negative
      {{1, 2, 1}, 3},           // a key coming back later is a new shape
      {{7}, 1},
  };
  for (const auto& c : cases) {
    std::vector<PathElement> elements;
    for (size_t i = 0; i < c.keys.size(); ++i) {
      elements.push_back(line(0, static_cast<double>(i), 1, static_cast<double>(i), c.keys[i]));
    }
    const Lines lines = body(elements);
    EXPECT_EQ(matching(lines, "( NEXT SHAPE )").size(), c.shapes);
    EXPECT_EQ(matching(lines, "G01 X").size(), c.keys.size());  // every element written once
  }
}

TEST_F(ProgramWriterTest, EmptyList) {
  const Lines expected = {"(Created with Brevanto)",
                          "G0 G49 G40  G17 G80 G50 G90",
                          "T1M6 ( DIA. 3.0000mm )",
                          "G21 (mm)",
                          "M03 S20000.0000",
                          "M08",
                          "G64",
                          "G00 Z80.0000",
                          "N10 ( HOME POSITION ) ",
                          "G00 X10.0000 Y300.0000 Z80.0000 M5",
                          "M30"};
  EXPECT_EQ(program({}), expected);
}

TEST_F(ProgramWriterTest, EveryCallIsNumberedFromN10AndIdentical) {
  std::vector<PathElement> elements = square();
  const Lines first = program(elements);
  for (auto& e : elements) e.colourIndex = 42;  // the colour plays no part
  EXPECT_EQ(program(elements), first);
  EXPECT_EQ(first[8], "N10 ( NEXT SHAPE ) ");
}

TEST(ShapeCounts, RunsOfEqualKeys) {
  const std::vector<PathElement> elements = {line(0, 0, 1, 1, 1), line(0, 0, 1, 1, 1),
                                             line(0, 0, 1, 1, 3), line(0, 0, 1, 1, 1)};
  EXPECT_EQ(shapeCounts(elements.data(), 4), (std::vector<int32_t>{2, 1, 1}));
  EXPECT_EQ(shapeCounts(elements.data(), 0), std::vector<int32_t>{});
}

}  // namespace
}  // namespace brevanto
