// The library's program file against kills, protected files, links and
// absurd records: the earlier program stays whole, nothing is left beside it,
// and every stage ends whatever the coordinates.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
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

namespace fs = std::filesystem;
using test::readFileBytes;
using test::writeFileBytes;

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

const std::vector<Segment> kSquare = {
    test::line(0, 0, 10, 0, 10, 1), test::line(10, 0, 10, 10, 10, 1),
    test::line(10, 10, 0, 10, 10, 1), test::line(0, 10, 0, 0, 10, 1)};

// sp killed while it writes a long program leaves the earlier one whole: the
// new program grows beside it and takes its place only when complete.
TEST(LibraryWriteSafety, KilledWriteLeavesTheEarlierProgram) {
  test::TempDir dir;
  const std::string file = dir.file("Brevanto.tap");
  const std::string earlier = "(an earlier program)\r\nM30\r\n";
  writeFileBytes(file, earlier);
  std::vector<Segment> many;
  for (int32_t shape = 1; shape <= 400000; ++shape) {
    many.push_back(test::line(0, shape % 500, 10, shape % 500, 10, shape));
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(runJob(many, {.programPath = file}).result >= 0 ? 0 : 1);
  // Killed once the new program has begun to grow beside the old one.
  bool growing = false;
  for (int i = 0; i < 2000 && !growing; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      growing |= entry.path().filename() != "Brevanto.tap" && entry.file_size() > 4096;
    }
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(growing && WIFSIGNALED(status)) << "the job ended before it could be killed";
  EXPECT_EQ(readFileBytes(file), earlier);
}

// What stands at the program's place decides what the job does to it; a
// link is followed, and nothing is left beside the file.
TEST(LibraryWriteSafety, WhatStandsAtTheProgramsPlace) {
  const struct {
    const char* name;
    const char* shell;  // makes the place, in the test's folder
    int32_t result;
    const char* message;  // in the error; "" for success
    const char* written;  // the file that holds the program afterwards ("" for none)
  } cases[] = {
      {"a read-only file", "echo earlier > p.tap && chmod 0444 p.tap", BREVANTO_OUTPUT_FAILED,
       "p.tap\": it is read-only", ""},
      {"a link to a file", "echo earlier > t.tap && ln -s t.tap p.tap", 3, "", "t.tap"},
      {"a link to nothing yet", "ln -s t.tap p.tap", 3, "", "t.tap"},
      {"a writable file", "echo earlier > p.tap", 3, "", "p.tap"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    ASSERT_EQ(std::system(("cd '" + dir.path().string() + "' && " + c.shell).c_str()), 0);
    const std::set<std::string> before = namesIn(dir.path());
    const JobReport report = runJob(kSquare, {.programPath = dir.file("p.tap")});
    EXPECT_EQ(report.result, c.result);
    EXPECT_NE(report.error.find(c.message), std::string::npos) << report.error;
    if (*c.written != '\0') {
      EXPECT_TRUE(readFileBytes(dir.file(c.written)).ends_with("M30\r\n"));
    } else {
      EXPECT_EQ(readFileBytes(dir.file("p.tap")), "earlier\n");
    }
    std::set<std::string> expected = before;
    if (*c.written != '\0') expected.insert(c.written);
    EXPECT_EQ(namesIn(dir.path()), expected);
  }
}

// Records far out once kept the cut order busy for more than 20 minutes
// (the fuzz input below): they are refused by index, and the same records
// moved within the bound finish at once in every cut order and offset.
TEST(LibraryWriteSafety, FarRecordsAreRefusedAndStagesStayBounded) {
  const std::string input = readFileBytes(std::string(BREVANTO_TEST_DATA_DIR) +
                                          "/fuzz/corpus_sp/hang_cut_order_far_coordinates");
  // A flags byte and a count before the records; a partial record is ignored.
  std::vector<Segment> records((input.size() - 5) / 80);
  std::memcpy(records.data(), input.data() + 5, records.size() * 80);
  test::SettingsTable settings(test::workedExampleSettings());
  const auto runWith = [&](const char* order, const char* offset) {
    settings.set("CutOrder", order);
    settings.set("ToolOffset", offset);
    std::ostringstream program;
    return runJob(records, {.program = &program});
  };
  const JobReport far = runWith("inside-first", "inside");
  EXPECT_EQ(far.result, BREVANTO_NON_FINITE_COORDINATE);
  EXPECT_EQ(far.error.rfind("segment 0: its end point lies more than 1000000 mm", 0), 0U);
  for (Segment& s : records) {
    for (double* v : {&s.x0, &s.y0, &s.x1, &s.y1, &s.x2, &s.y2, &s.x3, &s.y3}) {
      *v = std::clamp(*v, -1e6, 1e6);
    }
  }
  const auto start = std::chrono::steady_clock::now();
  for (const char* order : {"drawing", "inside-first"}) {
    for (const char* offset : {"none", "outside", "inside"}) {
      EXPECT_GE(runWith(order, offset).result, -1) << order << " " << offset;
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

// grbl keeps eight digits of a number: a feed or depth with more is refused by
// the setting's name, before the program file is touched.
TEST(LibraryMessages, GrblDigitLimitNamesTheSetting) {
  test::TempDir dir;
  const std::string file = dir.file("p.nc");
  test::SettingsTable settings(test::workedExampleSettings());
  settings.set("Dialect", "grbl");
  for (const auto& [name, message] :
       {std::pair{"txtFeedCut",
                  "txtFeedCut: F12345.6787 has more digits than the controller "
                  "reads (8): it would be read as another number; give it with at "
                  "most 8 digits"},
        std::pair{"txtDepth", "txtDepth: Z-12345.6787 has more digits"}}) {
    SCOPED_TRACE(name);
    writeFileBytes(file, "earlier\n");
    settings.set(name, "12345.6789");
    const JobReport report = runJob(kSquare, {.programPath = file});
    settings.set(name, test::workedExampleSettings().at(name));
    EXPECT_EQ(report.result, BREVANTO_DIALECT_REFUSED);
    EXPECT_EQ(report.error.rfind(message, 0), 0U) << report.error;
    EXPECT_EQ(readFileBytes(file), "earlier\n");
  }
}

}  // namespace
}  // namespace brevanto
