#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "job/job.h"
#include "support/job_stages.h"
#include "support/segments.h"
#include "support/settings_source.h"

namespace brevanto {
namespace {

using test::curve;
using test::line;

// The job as sp() runs it, with the tests' settings and program folder.
int32_t run(const std::vector<Segment>& segments, int32_t lastIndex, JobReport* report = nullptr) {
  JobReport r = runGuardedJob(segments.data(), &lastIndex, {});
  if (report != nullptr) *report = r;
  return r.result;
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
  EXPECT_EQ(runGuardedJob(nullptr, &lastIndex, {}).result, -1);
  const Segment s = line(0, 0, 1, 0, 1, 1);
  EXPECT_EQ(runGuardedJob(&s, nullptr, {}).result, -1);
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
  const std::vector<Segment> segments = {line(0, 0, 3, 4, 9.5F, 1, 0, 0),
                                         line(3, 4, 3, 14, 2.0F, 1, 255, 2)};
  EXPECT_EQ(run(segments, 1), 1);
  const std::vector<PathElement> elements = test::joinedElements(segments);
  ASSERT_EQ(elements.size(), 2U);
  const PathElement& a = elements[0];
  EXPECT_EQ(a.radius, 0.0);
  EXPECT_EQ(a.length, 9.5);  // the record's length, not the distance 5
  EXPECT_EQ(elements[1].length, 2.0);
  EXPECT_EQ(elements[1].colourIndex, 1);
  EXPECT_EQ(elements[1].endY, 14.0);
}

TEST(JobIntake, CurveOfLength7Point9GivesSevenArcs) {
  JobReport report;
  const std::vector<Segment> segments = {curve(0, 0, 0, 5, 5, 5, 5, 0, 7.9F, 2, 16711680)};
  run(segments, 0, &report);
  EXPECT_EQ(report.elementsAfterIntake, 7);
  for (const PathElement& e : test::joinedElements(segments)) {
    EXPECT_EQ(e.shapeKey, 2);
    EXPECT_EQ(e.colourIndex, 5);
  }
}

// A length that counts no arcs would make the curve vanish: refused instead.
TEST(JobIntake, CurveWithUnusableLengthIsRefused) {
  const std::vector<Segment> segments = {curve(0, 0, 0, 5, 5, 5, 5, 0, -2.0F, 1),
                                         line(5, 0, 0, 0, 5, 1)};
  EXPECT_EQ(run(segments, 1), BREVANTO_NON_FINITE_COORDINATE);
}

// One snapshot of the settings per job, however often the joining passes run.
TEST(JobSettings, EachSettingIsReadOnceAJob) {
  test::SettingsTable settings(test::workedExampleSettings());
  const std::vector<Segment> drawing = {curve(0, 0, 0, 5, 5, 5, 5, 0, 60.0F, 1),
                                        line(5, 0, 10, 0, 5, 1), line(10, 0, 20, 0, 10, 1)};
  std::ostringstream program;
  const JobReport report = runJob(drawing, {.settings = settings.source(), .program = &program});
  EXPECT_GT(report.arcApplications, 1);
  std::vector<std::string> names;
  for (const SettingInfo& s : kSettings) names.emplace_back(s.name);
  EXPECT_EQ(settings.asked(), names);
}

}  // namespace
}  // namespace brevanto
