#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "gcode/gcode_writer.h"
#include "geometry/colour_palette.h"
#include "job/job.h"
#include "support/job_stages.h"
#include "support/segments.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto {
namespace {

using test::curve;
using test::SettingsTable;

constexpr double kKappa = 0.5522847498307936;  // control distance of a quarter circle
constexpr double kR = 10.0;
constexpr double kK = kKappa * kR;

// The final list and the counts of the stages before it.
struct Joined {
  std::vector<PathElement> elements;
  JobReport report;
};

Joined runKeeping(const std::vector<Segment>& segments) {
  Joined j;
  j.elements = test::joinedElements(segments, &j.report);
  return j;
}

TEST(JoiningPipeline, CircleOfFourBeziersBecomesOneFullCircle) {
  SettingsTable settings(test::workedExampleSettings());
  const std::vector<Segment> circle = {curve(-kR, 0, -kR, kK, -kK, kR, 0, kR, 15.7F, 1),
                                       curve(0, kR, kK, kR, kR, kK, kR, 0, 15.7F, 1),
                                       curve(kR, 0, kR, -kK, kK, -kR, 0, -kR, 15.7F, 1),
                                       curve(0, -kR, -kK, -kR, -kR, -kK, -kR, 0, 15.7F, 1)};
  const Joined joined = runKeeping(circle);
  EXPECT_EQ(joined.report.elementsAfterIntake, 60);
  ASSERT_EQ(joined.elements.size(), 1U);
  const PathElement& c = joined.elements[0];
  EXPECT_EQ(c.startAngle, 180.0);
  EXPECT_EQ(c.endAngle, 180.0);
  EXPECT_EQ(c.startX, c.endX);
  EXPECT_EQ(c.startY, c.endY);
  EXPECT_EQ(c.startX, c.centreX - c.radius);
  EXPECT_NEAR(c.radius, kR, 0.01);
  EXPECT_NEAR(c.centreX, 0.0, 0.01);
  EXPECT_NEAR(c.centreY, 0.0, 0.01);
  EXPECT_EQ(c.clockwise, 1);
  EXPECT_EQ(c.shapeKey, 1);

  // Cut as two half circles in every pass: over to the rightmost point and
  // back to the leftmost one, the feed on the first half only.
  std::ostringstream written;
  ASSERT_EQ(runJob(circle, {.settings = settings.source(), .program = &written}).result, 0);
  std::istringstream program(written.str());
  std::vector<std::string> arcBlocks;
  for (std::string line; std::getline(program, line);) {
    if (line.find("G02") != std::string::npos) arcBlocks.push_back(line);
  }
  const std::string radius = "R" + formatFixed4(c.radius) + " ";
  const std::string left = "X" + formatFixed4(c.endX) + " Y" + formatFixed4(c.endY) + " ";
  const std::string right =
      "X" + formatFixed4(c.endX + 2.0 * c.radius) + " Y" + formatFixed4(c.endY) + " ";
  ASSERT_EQ(arcBlocks.size(), 4U);  // two passes: 1.5 deep, then 2
  for (size_t i = 0; i < arcBlocks.size(); i += 2) {
    EXPECT_NE(arcBlocks[i].find("G02 " + right + radius + "F"), std::string::npos) << arcBlocks[i];
    EXPECT_NE(arcBlocks[i + 1].find("G02 " + left + radius + "\r"), std::string::npos)
        << arcBlocks[i + 1];
  }
}

// Two quarter circles in one shape turning opposite ways, meeting at (10, 10).
TEST(JoiningPipeline, SCurveKeepsItsTwoTurningSensesApart) {
  const std::vector<Segment> s = {
      curve(0, 0, 0, kK, kR - kK, kR, kR, kR, 15.7F, 1),
      curve(kR, kR, kR + kK, kR, 2 * kR, kR + kK, 2 * kR, 2 * kR, 15.7F, 1)};
  const Joined joined = runKeeping(s);
  ASSERT_GE(joined.elements.size(), 2U);
  EXPECT_LT(joined.elements.size(), static_cast<size_t>(joined.report.elementsAfterIntake));
  int32_t sensesSeen[2] = {0, 0};
  for (const PathElement& e : joined.elements) {
    ASSERT_GT(e.radius, 0.0);
    ++sensesSeen[e.clockwise];
    // Nothing bridges the turning point: each arc lies on one side of it.
    const int32_t expectedSense = e.endX <= kR + 1e-9 ? 1 : 0;
    EXPECT_EQ(e.clockwise, expectedSense) << e.startX << "," << e.startY;
    EXPECT_FALSE(e.startX < kR - 1e-9 && e.endX > kR + 1e-9);
  }
  EXPECT_GT(sensesSeen[0], 0);
  EXPECT_GT(sensesSeen[1], 0);
}

TEST(JoiningPipeline, StraightLinesOfOneShapeJoinAfterTheArcs) {
  const std::vector<Segment> lines = {
      test::line(0, 0, 10, 0, 10, 1), test::line(10, 0, 20, 0.04F, 10, 1),
      test::line(20, 0.04, 30, 0.04, 10, 1), test::line(30, 0.04, 30, 10, 10, 1)};
  const Joined joined = runKeeping(lines);
  ASSERT_EQ(joined.elements.size(), 2U);
  EXPECT_EQ(joined.elements[0].endX, 30.0);
  EXPECT_EQ(joined.elements[1].endY, 10.0);
  EXPECT_EQ(joined.report.lineApplications, 3);  // 4 -> 3 -> 2, then no change
}

// Colours are matched once per run of equal colours; every record still gets
// the index of its own colour.
TEST(JoiningPipeline, EveryRecordKeepsItsOwnColour) {
  const int32_t colours[] = {0x0000FF, 0x0000FF, 0xFF0000, 0x0000FF, 0, 0};
  std::vector<Segment> segments;
  for (int32_t i = 0; i < 6; ++i) {
    segments.push_back(test::line(i * 10.0, 0, i * 10.0, 5, 5, i + 1, colours[i]));
  }
  const Joined joined = runKeeping(segments);
  ASSERT_EQ(joined.elements.size(), 6U);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(joined.elements[i].colourIndex, NearestColourIndex(colours[i])) << i;
  }
}

}  // namespace
}  // namespace brevanto
