// Laser settings as a job reads them, and the hatching of a region.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/job_error.h"
#include "settings/settings.h"
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

}  // namespace
}  // namespace brevanto
