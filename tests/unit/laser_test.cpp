// Laser settings as a job reads them, the hatching of a region, and laser
// operations in one program.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "base/job_error.h"
#include "brevanto/host.h"
#include "settings/settings.h"
#include "support/segments.h"
#include "support/settings_source.h"
#include "toolpath/laser_fill.h"

namespace brevanto {
namespace {

TEST(LaserSettings, MachineKindAndDialectFollowOneAnother) {
  const struct {
    std::vector<std::pair<const char*, const char*>> set;
    OperationKind kind;
    Dialect dialect;
    const char* refusal;  // part of the message; nullptr: accepted
  } cases[] = {
      {{}, OperationKind::Profile, Dialect::Classic, nullptr},
      {{{"Machine", "laser"}, {"Dialect", ""}}, OperationKind::LaserCut, Dialect::Grbl, nullptr},
      {{{"Kind", "laser-fill"}, {"Dialect", " "}},
       OperationKind::LaserFill,
       Dialect::Grbl,
       nullptr},
      {{{"Machine", "laser"}, {"Dialect", "linuxcnc"}},
       OperationKind::LaserCut,
       Dialect::LinuxCnc,
       nullptr},
      {{{"Machine", "laser"}, {"Dialect", "classic"}},
       {},
       {},
       "Dialect: classic has no laser words"},
      {{{"Machine", "laser"}, {"Kind", "profile"}}, {}, {}, "Kind: profile cuts in depth"},
      {{{"Kind", "laser-cut"}, {"Dialect", "grbl"}, {"Power", "101"}}, {}, {}, "Power: \"101\""},
      {{{"Kind", "laser-cut"}, {"Dialect", "grbl"}, {"Passes", "2.5"}}, {}, {}, "Passes"},
      {{{"Kind", "laser-cut"}, {"Dialect", "grbl"}, {"LineInterval", "0"}}, {}, {}, "LineInterval"},
      // A pocket is the router's: no laser words, no grbl by default.
      {{{"Kind", "pocket"}}, OperationKind::Pocket, Dialect::Classic, nullptr},
      {{{"Machine", "laser"}, {"Kind", "pocket"}}, {}, {}, "Kind: pocket cuts in depth"},
      {{{"Kind", "pocket"}, {"StepOver", "4"}}, {}, {}, "StepOver: \"4\""},
      {{{"Kind", "pocket"}, {"FinishAllowance", "-1"}}, {}, {}, "FinishAllowance"},
  };
  for (const auto& c : cases) {
    test::SettingsTable table(test::workedExampleSettings());
    std::string trace;
    for (const auto& [name, text] : c.set)
      table.set(name, text), trace += std::string(name) + "=" + text + " ";
    SCOPED_TRACE(trace);
    try {
      const JobSettings s = loadSettings(table.source());
      EXPECT_EQ(c.refusal, nullptr);
      EXPECT_EQ(s.kind, c.kind);
      EXPECT_EQ(s.dialect, c.dialect);
      EXPECT_FALSE(s.hasFocusZ);  // empty: no Z word at all
    } catch (const JobError& e) {
      ASSERT_NE(c.refusal, nullptr) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
    }
  }
}

// A 20 x 10 square with a 4 x 4 hole: the lines as wide as the interval
// cover the area (their length times the interval), and none enters the hole.
TEST(LaserFill, LinesCoverTheAreaAndLeaveTheHole) {
  const std::vector<FillRing> rings = {{{0, 0}, {20, 0}, {20, 10}, {0, 10}},
                                       {{8, 3}, {8, 7}, {12, 7}, {12, 3}}};
  for (const float angle : {0.0F, 30.0F, 90.0F, -135.0F}) {
    for (const bool both : {true, false}) {
      JobSettings s;
      s.lineInterval = 0.2F;
      s.fillAngle = angle;
      s.bidirectional = both;
      double burnt = 0.0;
      size_t lines = 0, runs = 0;
      for (const FillRun& run : hatchRegion(rings, s)) {
        ++runs;
        for (const FillLine& l : run) {
          ++lines;
          burnt += std::hypot(l.to.x - l.from.x, l.to.y - l.from.y);
          const double mx = (l.from.x + l.to.x) / 2, my = (l.from.y + l.to.y) / 2;
          EXPECT_FALSE(mx > 8.001 && mx < 11.999 && my > 3.001 && my < 6.999) << mx << " " << my;
        }
      }
      SCOPED_TRACE(std::to_string(angle) + (both ? " both ways" : " one way"));
      EXPECT_NEAR(burnt * 0.2, 200.0 - 16.0, 184.0 * 0.01);
      EXPECT_EQ(runs == lines, !both);                    // one way: every line from a rapid
      EXPECT_EQ(fillLineEnds(rings, s, 10), size_t{11});  // counted no further
    }
  }
}

// Two squares, one per operation: a cut and a fill of their own power make
// one program with the laser's header, and no tool change (no Z) even where
// the operations' tool values differ, air assist switched on for the fill; a router's operation
// beside a laser's, or the classic dialect, is refused.
TEST(LaserOperations, OneProgramOneMachine) {
  std::vector<Segment> segments;
  for (const int32_t key : {1, 2}) {
    const double x = 20.0 * key;
    segments.push_back(test::line(x, 0, x + 10, 0, 10, key));
    segments.push_back(test::line(x + 10, 0, x + 10, 10, 10, key));
    segments.push_back(test::line(x + 10, 10, x, 10, 10, key));
    segments.push_back(test::line(x, 10, x, 0, 10, key));
  }
  JobSettings base;
  base.dialect = Dialect::Grbl;
  JobSettings cut = base, fill = base;
  cut.kind = OperationKind::LaserCut;
  cut.power = 80.0F;
  cut.passes = 3;
  fill.kind = OperationKind::LaserFill;
  fill.power = 30.0F;
  fill.lineInterval = 0.5F;
  fill.toolNumber = 2;
  fill.airAssist = true;
  const struct {
    const char* name;
    JobSettings second;
    Dialect dialect;
    const char* refusal;  // nullptr: written
  } cases[] = {{"cut and fill", fill, Dialect::Grbl, nullptr},
               {"cut and fill, linuxcnc", fill, Dialect::LinuxCnc, nullptr},
               {"cut and a router's profile", base, Dialect::Grbl, "a program drives one machine"},
               {"classic", fill, Dialect::Classic, "classic has no laser words"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ostringstream program;
    JobOptions options{.typedSettings = base, .program = &program};
    options.typedSettings->dialect = c.dialect;
    options.operations = {{"cut", cut, {1}}, {"fill", c.second, {2}}};
    const JobReport report = runJob(segments, options);
    if (c.refusal != nullptr) {
      EXPECT_EQ(report.result, BREVANTO_SETTINGS_REFUSED);
      EXPECT_NE(report.error.find(c.refusal), std::string::npos) << report.error;
      EXPECT_TRUE(program.str().empty());
      continue;
    }
    ASSERT_TRUE(report.ok()) << report.error;
    const std::string text = program.str();
    for (const char* router : {"Z", "M03", "TOOL", "M6", "M08"}) {
      EXPECT_EQ(text.find(router), std::string::npos) << router << "\n" << text;
    }
    ASSERT_NE(text.find("S300"), std::string::npos);
    EXPECT_LT(text.find("S800"), text.find("M8"));  // air assist for the fill only
    EXPECT_LT(text.find("M8"), text.find("S300"));
    EXPECT_NE(text.find("M9"), std::string::npos);
    EXPECT_EQ(report.toolChanges, 0);
    EXPECT_EQ(report.writtenOperations, (std::vector<int32_t>{0, 1}));
  }
  // Laser operations that select nothing write the laser's empty program.
  std::ostringstream empty;
  JobOptions none{.typedSettings = base, .program = &empty};
  none.operations = {{"cut", cut, {}}};
  ASSERT_TRUE(runJob(segments, none).ok());
  EXPECT_EQ(empty.str().find('Z'), std::string::npos) << empty.str();
}

}  // namespace
}  // namespace brevanto
