// Every case in tests/golden (see the README there) through the exported sp:
// the program file must come out byte for byte.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "brevanto/host.h"
#include "support/seg_file.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto {
namespace {

const std::filesystem::path kGoldenDir = std::filesystem::path(BREVANTO_TEST_DATA_DIR) / "golden";

std::vector<std::string> goldenCases() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(kGoldenDir)) {
    if (entry.path().extension() == ".seg") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The first line where two programs part, for a readable failure.
std::string firstDifference(const std::string& actual, const std::string& expected) {
  std::istringstream a(actual);
  std::istringstream e(expected);
  std::string lineA;
  std::string lineE;
  for (int number = 1;; ++number) {
    const bool moreA = static_cast<bool>(std::getline(a, lineA));
    const bool moreE = static_cast<bool>(std::getline(e, lineE));
    if (!moreA && !moreE) return "same lines, different bytes";
    if (lineA != lineE || moreA != moreE) {
      return "line " + std::to_string(number) + ": got \"" + (moreA ? lineA : "<end>") +
             "\", expected \"" + (moreE ? lineE : "<end>") + "\"";
    }
  }
}

// Settings source and output path are put back before every test.
class GoldenTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenTest, ProgramMatchesByteForByte) {
  const std::string base = (kGoldenDir / GetParam()).string();
  const std::vector<Segment> segments = test::readSegFile(base + ".seg");
  const std::string iniFile = base + ".ini";
  // The settings file and program folder sp() finds on this platform.
  setenv("BREVANTO_SETTINGS", iniFile.c_str(), 1);
  test::TempDir dir;
  test::setProgramFolder(dir.path().string());
  const std::string output = dir.file("Brevanto.tap");

  auto expectedResult = static_cast<int32_t>(segments.size()) - 1;
  std::string expectedError;
  if (std::ifstream expect(base + ".expect"); expect) {
    std::string key;
    while (expect >> key) {
      if (key == "result") expect >> expectedResult;
      if (key == "error") {
        std::getline(expect >> std::ws, expectedError);
        if (!expectedError.empty() && expectedError.back() == '\r') expectedError.pop_back();
      }
    }
  }

  const auto lastIndex = static_cast<int32_t>(segments.size()) - 1;
  EXPECT_EQ(sp(segments.data(), &lastIndex), expectedResult);
  EXPECT_EQ(std::string(spLastError()), expectedError);

  if (!std::filesystem::exists(base + ".tap")) {
    EXPECT_FALSE(std::filesystem::exists(output)) << "no program file was expected";
    return;
  }
  const std::string actual = test::readFileBytes(output);
  const std::string expected = test::readFileBytes(base + ".tap");
  EXPECT_TRUE(actual == expected) << firstDifference(actual, expected);

  // A host's job on a buffered stream writes the same bytes.
  std::ostringstream stream;
  const JobReport report =
      runJob(segments,
             {.settings =
                  [iniFile](std::string_view name) { return readSettingsFileValue(iniFile, name); },
              .program = &stream});
  EXPECT_EQ(report.result, expectedResult) << report.error;
  EXPECT_TRUE(stream.str() == expected) << firstDifference(stream.str(), expected);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenTest, ::testing::ValuesIn(goldenCases()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace brevanto
