#include <gtest/gtest.h>

#include <vector>

#include "brevanto/brevanto.h"
#include "entry/job.h"
#include "support/segments.h"

namespace brevanto {
namespace {

using test::curve;
using test::line;

int32_t run(const std::vector<Segment>& segments, int32_t lastIndex, JobReport* report = nullptr) {
  return runJob(segments.data(), &lastIndex, report);
}

TEST(JobIntake, NegativeCountReadsNothing) {
  JobReport report;
  EXPECT_EQ(run({line(0, 0, 1, 0, 1, 1)}, -1, &report), -1);
  EXPECT_EQ(report.segmentsRead, 0);
  EXPECT_EQ(report.arcApplications, 0);
  EXPECT_EQ(report.lineApplications, 0);
}

TEST(JobIntake, NullArgumentsReadNothing) {
  const int32_t lastIndex = 3;
  EXPECT_EQ(runJob(nullptr, &lastIndex, nullptr), -1);
  const Segment s = line(0, 0, 1, 0, 1, 1);
  EXPECT_EQ(runJob(&s, nullptr, nullptr), -1);
}

TEST(JobIntake, SingleLineIsNotJoined) {
  JobReport report;
  EXPECT_EQ(run({line(0, 0, 1, 0, 1, 1)}, 0, &report), 0);
  EXPECT_EQ(report.arcApplications, 0);
  EXPECT_EQ(report.lineApplications, 0);
}

TEST(JobIntake, ThreeLinesRunBothJoiningLoops) {
  JobReport report;
  const std::vector<Segment> square = {line(0, 0, 10, 0, 10, 1), line(10, 0, 10, 10, 10, 1),
                                       line(10, 10, 0, 10, 10, 1)};
  EXPECT_EQ(run(square, 2, &report), 2);
  EXPECT_EQ(report.arcApplications, 1);  // nothing joined: one application
  EXPECT_EQ(report.lineApplications, 1);
}

TEST(JobIntake, OnlyKindOneIsACurve) {
  JobReport report;
  report.keepElements = true;
  const std::vector<Segment> segments = {line(0, 0, 3, 4, 9.5F, 1, 0, 0),
                                         line(3, 4, 3, 14, 2.0F, 1, 255, 2)};
  EXPECT_EQ(run(segments, 1, &report), 1);
  ASSERT_EQ(report.elements.size(), 2U);
  const PathElement& a = report.elements[0];
  EXPECT_EQ(a.radius, 0.0);
  EXPECT_EQ(a.length, 9.5);  // the record's length, not the distance 5
  EXPECT_EQ(report.elements[1].length, 2.0);
  EXPECT_EQ(report.elements[1].colourIndex, 1);
  EXPECT_EQ(report.elements[1].endY, 14.0);
}

TEST(JobIntake, CurveOfLength7Point9GivesSevenArcs) {
  JobReport report;
  const std::vector<Segment> segments = {curve(0, 0, 0, 5, 5, 5, 5, 0, 7.9F, 2, 16711680)};
  run(segments, 0, &report);
  EXPECT_EQ(report.elementsAfterIntake, 7);
  report = {};
  report.keepElements = true;
  run(segments, 0, &report);
  for (const PathElement& e : report.elements) {
    EXPECT_EQ(e.shapeKey, 2);
    EXPECT_EQ(e.colourIndex, 5);
  }
}

TEST(JobIntake, CurveWithUnusableLengthGivesNoElement) {
  JobReport report;
  const std::vector<Segment> segments = {curve(0, 0, 0, 5, 5, 5, 5, 0, -2.0F, 1),
                                         line(5, 0, 0, 0, 5, 1)};
  EXPECT_EQ(run(segments, 1, &report), 0);
  EXPECT_EQ(report.segmentsRead, 2);
  EXPECT_EQ(report.elementsAfterIntake, 1);
}

}  // namespace
}  // namespace brevanto
