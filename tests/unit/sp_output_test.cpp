// What the caller of sp sees of the program file: results, messages, and the
// rule that a failed run never damages an earlier program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "brevanto/brevanto.h"
#include "brevanto/host.h"
#include "support/segments.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto {
namespace {

class SpOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { test::setProgramFolder(dir_.path().string()); }

  int32_t run() {
    const auto lastIndex = static_cast<int32_t>(segments_.size()) - 1;
    return sp(segments_.data(), &lastIndex);
  }

  std::vector<Segment> segments_ = {test::line(0, 0, 10, 0, 10, 1), test::line(10, 0, 0, 0, 10, 1),
                                    test::line(5, 5, 6, 6, 1.4F, 2)};
  test::SettingsTable settings_{test::workedExampleSettings()};
  test::TempDir dir_;
  std::string file_ = dir_.file("Brevanto.tap");
};

TEST_F(SpOutputTest, TwoCallsGiveIdenticalFiles) {
  ASSERT_EQ(run(), 2);
  const std::string first = test::readFileBytes(file_);
  ASSERT_EQ(run(), 2);
  EXPECT_EQ(test::readFileBytes(file_), first);
  EXPECT_STREQ(spLastError(), "");
}

// A refused setting returns -2 with the reason and leaves the program of the
// earlier run exactly as it was.
TEST_F(SpOutputTest, RefusedSettingLeavesTheEarlierFile) {
  const struct {
    const char* name;
    const char* text;
    const char* message;  // the start of spLastError()
  } cases[] = {
      {"txtFeedZ", "fast", "txtFeedZ: \"fast\" is not a number"},
      {"txtDepth", "1e999", "txtDepth: \"1e999\" is out of range"},
      {"txtSaveZ", "1e39", "txtSaveZ: \"1e39\" is out of range"},
      {"txtWZDia", "nan", "txtWZDia: \"nan\" is not a number"},
      {"txtFeedCut", "", "txtFeedCut: \"\" is not a number"},
      {"txtMaxZ", "0.000001", "txtMaxZ"},
  };
  ASSERT_EQ(run(), 2);
  const std::string earlier = test::readFileBytes(file_);
  for (const auto& c : cases) {
    test::SettingsTable refused(test::workedExampleSettings());
    refused.set(c.name, c.text);
    EXPECT_EQ(run(), BREVANTO_SETTINGS_REFUSED) << c.name << "=" << c.text;
    EXPECT_EQ(std::string(spLastError()).rfind(c.message, 0), 0U) << spLastError();
    EXPECT_EQ(test::readFileBytes(file_), earlier) << c.name << "=" << c.text;
  }
  // The next good run clears the message.
  EXPECT_EQ(run(), 2);
  EXPECT_STREQ(spLastError(), "");
}

TEST_F(SpOutputTest, MissingFolderIsReportedAndNotCreated) {
  const std::string missing = dir_.file("no such folder");
  const std::string file = missing + "/Brevanto.tap";
  test::setProgramFolder(missing);
  EXPECT_EQ(run(), BREVANTO_OUTPUT_FAILED);
  EXPECT_NE(std::string(spLastError()).find(file), std::string::npos) << spLastError();
  EXPECT_FALSE(std::filesystem::exists(missing));
}

#ifndef _WIN32
// A program that does not reach the disk whole must not be reported as
// written, nor left where a machine could run it: the earlier program stays
// as it was (a device is written into, and fails).
TEST_F(SpOutputTest, FailedWriteIsReportedAndLeavesNoPartialProgram) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const JobReport full = runJob(segments_, {.programPath = "/dev/full"});
  EXPECT_EQ(full.result, BREVANTO_OUTPUT_FAILED);
  EXPECT_NE(full.error.find("/dev/full"), std::string::npos) << full.error;
  // A small file system that fills up half way through the program.
  test::TempDir mount;
  if (std::system(("mount -t tmpfs -o size=16k tmpfs '" + mount.path().string() + "' 2>/dev/null")
                      .c_str()) != 0) {
    GTEST_SKIP() << "cannot mount a small file system here";
  }
  std::vector<Segment> many;
  for (int32_t shape = 1; shape <= 400; ++shape) {
    many.push_back(test::line(0, shape, 10, shape, 10, shape));
  }
  const std::string file = mount.file("Brevanto.tap");
  test::writeFileBytes(file, "an earlier program");
  const JobReport filled = runJob(many, {.programPath = file});
  const std::string left = test::readFileBytes(file);
  std::system(("umount '" + mount.path().string() + "'").c_str());
  EXPECT_EQ(filled.result, BREVANTO_OUTPUT_FAILED) << filled.error;
  EXPECT_EQ(left, "an earlier program");
}
#endif

// A point that is not a number or lies beyond a kilometre, or a curve length
// that counts no arcs, refuses the job, by the record's index, and leaves the
// earlier program as it was; a line's unread control points may hold
// anything.
TEST_F(SpOutputTest, NonFiniteRecordsAreRefusedByIndex) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  Segment endAtNan = test::line(10, 0, 10, 5, 5, 1);
  endAtNan.x3 = nan;
  Segment startAtInf = test::line(10, 0, 10, 5, 5, 1);
  startAtInf.y0 = -inf;
  Segment curveWithNan = test::curve(0, 0, 1, 1, 2, 1, 3, 0, 3, 1);
  curveWithNan.y2 = nan;
  Segment lineWithNanControl = test::line(0, 0, 5, 0, 5, 1);
  lineWithNanControl.x1 = nan;
  Segment farControl = test::curve(0, 0, 1, 1, 2, 1, 3, 0, 3, 1);
  farControl.x1 = -1.5e6;
  const auto curveOfLength = [](float length) {
    return test::curve(0, 0, 1, 1, 2, 1, 3, 0, length, 1);
  };
  const struct {
    Segment record;
    int32_t result;
    const char* message;
  } cases[] = {
      {endAtNan, BREVANTO_NON_FINITE_COORDINATE, "segment 3: its end point is not a finite number"},
      {startAtInf, BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: its start point is not a finite number"},
      {curveWithNan, BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: its second control point is not a finite number"},
      {lineWithNanControl, 3, ""},
      // Finite but beyond any machine: refused as well, at a kilometre.
      {test::line(0, 0, 1e300, 0, 5, 1), BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: its end point lies more than 1000000 mm (a kilometre) from the origin"},
      {farControl, BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: its first control point lies more than 1000000 mm (a kilometre) from the "
       "origin"},
      {test::line(-1e6, 1e6, 1e6, -1e6, 5, 1), 3, ""},
      // A curve whose length gives no count of arcs would vanish.
      {curveOfLength(std::numeric_limits<float>::quiet_NaN()), BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: the curve's length field is not a number: give its length in mm, at least 0 "
       "and below 2^31"},
      {curveOfLength(-2.0F), BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: the curve's length field is -2.000000: give its length in mm"},
      {curveOfLength(std::numeric_limits<float>::infinity()), BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: the curve's length field is inf"},
      {curveOfLength(2147483648.0F), BREVANTO_NON_FINITE_COORDINATE,
       "segment 3: the curve's length field is 2147483648"},
      {curveOfLength(0.0F), 4, ""},
  };
  ASSERT_EQ(run(), 2);
  std::string earlier = test::readFileBytes(file_);
  for (const auto& c : cases) {
    segments_.push_back(c.record);
    EXPECT_EQ(run(), c.result);
    if (c.result >= -1) earlier = test::readFileBytes(file_);
    EXPECT_EQ(std::string(spLastError()).rfind(c.message, 0), 0U) << spLastError();
    if (c.result < -1) {
      EXPECT_EQ(test::readFileBytes(file_), earlier);
    }
    segments_.pop_back();
  }
}

// Each thread reads the message of its own last call.
TEST_F(SpOutputTest, LastErrorIsPerThread) {
  test::setProgramFolder(dir_.file("missing"));
  ASSERT_EQ(run(), BREVANTO_OUTPUT_FAILED);
  std::string other;
  std::thread([&] { other = spLastError(); }).join();
  EXPECT_EQ(other, "");
  EXPECT_NE(std::string(spLastError()), "");
}

}  // namespace
}  // namespace brevanto
