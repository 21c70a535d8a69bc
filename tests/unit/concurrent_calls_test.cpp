// Two threads calling sp() over and over on the same program file: the job
// lock inside sp() must keep every file a complete program of one call.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "brevanto/brevanto.h"
#include "platform/process_lock.h"
#include "support/segments.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace {

using brevanto::test::curve;
using brevanto::test::line;

class ConcurrentCalls : public testing::Test {
 protected:
  void SetUp() override {
    // The settings are the tests' defaults (the worked example's).
    brevanto::test::setProgramFolder(dir_.path().string());
  }
  std::string programOf(const std::vector<Segment>& drawing) {
    const int32_t last = static_cast<int32_t>(drawing.size()) - 1;
    EXPECT_GE(sp(drawing.data(), &last), -1);
    return brevanto::test::readFileBytes(dir_.file("Brevanto.tap"));
  }

  brevanto::test::TempDir dir_;
};

TEST_F(ConcurrentCalls, EveryFileIsOneCompleteProgram) {
  // Two drawings of clearly different programs, big enough that an
  // unserialised pair of calls would overlap.
  std::vector<Segment> squares, curves;
  for (int32_t shape = 1; shape <= 40; ++shape) {
    const double x = shape * 20.0;
    squares.push_back(line(x, 0, x + 10, 0, 10, shape));
    squares.push_back(line(x + 10, 0, x + 10, 10, 10, shape));
    squares.push_back(line(x + 10, 10, x, 10, 10, shape));
    squares.push_back(line(x, 10, x, 0, 10, shape));
    curves.push_back(curve(x, 0, x, 8, x + 10, 8, x + 10, 0, 20, shape));
  }
  const std::string programA = programOf(squares);
  const std::string programB = programOf(curves);
  ASSERT_NE(programA, programB);
  ASSERT_FALSE(programA.empty());

  std::atomic<int> mismatches{0};
  std::atomic<int> ready{0};
  auto caller = [&](const std::vector<Segment>& drawing) {
    const int32_t last = static_cast<int32_t>(drawing.size()) - 1;
    // Both threads start calling at the same moment.
    ++ready;
    while (ready.load() < 2) std::this_thread::yield();
    for (int round = 0; round < 20; ++round) {
      if (sp(drawing.data(), &last) < -1) ++mismatches;
      // Look at the file between jobs, never while one is writing it.
      brevanto::ProcessLock between;
      const std::string now = brevanto::test::readFileBytes(dir_.file("Brevanto.tap"));
      if (now != programA && now != programB) ++mismatches;
    }
  };
  std::thread a(caller, std::cref(squares));
  std::thread b(caller, std::cref(curves));
  a.join();
  b.join();
  EXPECT_EQ(mismatches.load(), 0);
  const std::string last = brevanto::test::readFileBytes(dir_.file("Brevanto.tap"));
  EXPECT_TRUE(last == programA || last == programB);
}

}  // namespace
