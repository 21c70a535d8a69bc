// The machine's own numbers: spindle, coolant, clearance height and park
// position, in each dialect, as the first and last lines of a program.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "support/segments.h"
#include "support/settings_source.h"

namespace brevanto {
namespace {

struct MachineCase {
  const char* name;
  test::SettingsMap changes;
  std::vector<std::string> wanted;    // lines the program holds
  std::vector<std::string> unwanted;  // lines it must not hold
};

std::vector<std::string> programLines(const test::SettingsMap& changes, JobReport& report) {
  test::SettingsMap values = test::workedExampleSettings();
  for (const auto& [name, text] : changes) values[name] = text;
  const std::vector<Segment> square = {
      test::line(0, 0, 10, 0, 10, 1), test::line(10, 0, 10, 10, 10, 1),
      test::line(10, 10, 0, 10, 10, 1), test::line(0, 10, 0, 0, 10, 1)};
  std::ostringstream out;
  report = runJob(square, {.settings =
                               [&values](std::string_view name) {
                                 const auto found = values.find(name);
                                 return found != values.end() ? found->second : std::string();
                               },
                           .program = &out});
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
  return lines;
}

TEST(MachineNumbers, FirstAndLastMovesPerDialect) {
  const MachineCase cases[] = {
      {"classic keeps its fixed moves",
       {},
       {"M03 S20000.0000", "M08", "G00 Z80.0000", "G00 X10.0000 Y300.0000 Z80.0000 M5"},
       {}},
      {"linuxcnc stays at the safe height",
       {{"Dialect", "linuxcnc"}},
       {"G00 Z5.0000", "G00 Z5.0000 M5"},
       {"G00 Z80.0000"}},
      {"grbl with its machine's numbers",
       {{"Dialect", "grbl"},
        {"Spindle", "12000"},
        {"Coolant", "off"},
        {"ClearanceZ", "20"},
        {"Park", "0, 150"}},
       {"M03 S12000.0000", "G00 Z20.0000", "G00 X0.0000 Y150.0000 Z20.0000 M5"},
       {"M08"}},
      {"classic without parking",
       {{"Park", "none"}, {"ClearanceZ", "5"}},
       {"G00 Z5.0000", "G00 Z5.0000 M5"},
       {"G00 Z80.0000"}},
  };
  for (const MachineCase& c : cases) {
    JobReport report;
    const std::vector<std::string> lines = programLines(c.changes, report);
    ASSERT_TRUE(report.ok()) << c.name << ": " << report.error;
    for (const std::string& w : c.wanted) {
      EXPECT_NE(std::find(lines.begin(), lines.end(), w), lines.end()) << c.name << ": " << w;
    }
    for (const std::string& u : c.unwanted) {
      EXPECT_EQ(std::find(lines.begin(), lines.end(), u), lines.end()) << c.name << ": " << u;
    }
  }
}

TEST(MachineNumbers, RefusalsNameTheSetting) {
  const test::SettingsMap cases[] = {
      {{"ClearanceZ", "3"}}, {{"Park", "10"}}, {{"Spindle", "0"}}, {{"Coolant", "maybe"}}};
  for (const test::SettingsMap& c : cases) {
    JobReport report;
    programLines(c, report);
    EXPECT_EQ(report.result, BREVANTO_SETTINGS_REFUSED) << c.begin()->first;
    EXPECT_EQ(report.error.rfind(c.begin()->first, 0), 0U) << report.error;
  }
}

}  // namespace
}  // namespace brevanto
