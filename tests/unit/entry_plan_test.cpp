// Holding tabs, ramps and leads: their settings as sp reads them, and where
// tabs go on a path. What the programs do (the tabs' tops, the slopes, the
// leads' clearance) is measured on rs274's reading of them
// (tests/interpreter/measure_entries.py).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/job_error.h"
#include "settings/settings.h"
#include "support/settings_source.h"
#include "toolpath/tabs.h"

namespace brevanto {
namespace {

using test::SettingsTable;
using test::workedExampleSettings;

TEST(EntrySettings, MacroReading) {
  const struct {
    const char* name;
    const char* text;
    bool refused;
  } cases[] = {
      {"Tabs", " AUTO ", false},  {"Tabs", "2.7", true},     {"Tabs", "-1", true},
      {"Tabs", "autos", true},    {"RampAngle", "", false},   {"RampAngle", "0", true},
      {"RampAngle", "91", true},  {"LeadIn", "-0.5", true},   {"TabShape", "Ramped", false},
      {"TabShape", "wavy", true}, {"TabsOnHoles", "2", true}, {"TabWidth", "abc", true},
  };
  for (const auto& c : cases) {
    SettingsTable settings(workedExampleSettings());
    settings.set(c.name, c.text);
    bool refused = false;
    try {
      (void)loadSettings(settings.source());
    } catch (const JobError& e) {
      refused = true;
      EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
    }
    EXPECT_EQ(refused, c.refused) << c.name << "=" << c.text;
  }
  SettingsTable settings(workedExampleSettings());
  settings.set("Tabs", "auto");
  settings.set("TabShape", "ramped");
  settings.set("TabsOnHoles", "1");
  const JobSettings s = loadSettings(settings.source());
  EXPECT_EQ(s.tabs, kTabsBySpacing);
  EXPECT_EQ(s.tabShape, TabShape::Ramped);
  EXPECT_TRUE(s.tabsOnHoles);
  EXPECT_EQ(s.rampAngle, 90.0F);  // not in the store: straight plunges, as ever
}

ContourPath polygon(const std::vector<Point2>& pts) {
  ContourPath path;
  for (size_t i = 0; i < pts.size(); ++i) path.addLine(pts[i], pts[(i + 1) % pts.size()]);
  return path;
}

ContourPath circle(double r) {
  ContourPath path;
  path.addArc({-r, 0.0}, {r, 0.0}, {0.0, 0.0}, true);
  path.addArc({r, 0.0}, {-r, 0.0}, {0.0, 0.0}, true);
  return path;
}

// Every tab's footprint clear of the corners, the kept ends and the tab
// before; as many as fit.
TEST(TabPlacement, SpreadOffCornersAndEnds) {
  const ContourPath rectangle = polygon({{0, 0}, {100, 0}, {100, 50}, {0, 50}});
  const struct {
    const char* what;
    ContourPath path;
    int32_t asked;
    TabFootprint foot;
    double keepStart;
    size_t placed;
    std::vector<double> corners;
  } cases[] = {
      {"one per side", rectangle, 4, {0, 9.2, 0}, 3, 4, {100, 150, 250}},
      {"sloped ends", rectangle, 4, {10, 9.2, 20}, 3, 4, {100, 150, 250}},
      {"a side too short", rectangle, 4, {0, 55, 0}, 3, 2, {100, 150, 250}},
      {"the start kept", rectangle, 4, {0, 9.2, 0}, 260, 3, {100, 150, 250}},
      {"a round path", circle(20), 3, {0, 9.2, 0}, 3, 3, {}},
      {"no room at all", polygon({{0, 0}, {5, 0}, {5, 5}}), 2, {0, 9.2, 0}, 3, 0, {}},
  };
  for (const auto& c : cases) {
    const std::vector<double> tabs = placeTabs(c.path, c.asked, c.foot, c.keepStart, 3, 3);
    EXPECT_EQ(tabs.size(), c.placed) << c.what;
    double previousEnd = -1e300;
    for (const double t : tabs) {
      const double from = t - c.foot.climb - c.foot.top / 2;
      const double to = t + c.foot.top / 2 + c.foot.descent;
      EXPECT_GE(from, c.keepStart) << c.what;
      EXPECT_LE(to, c.path.length() - 3) << c.what;
      EXPECT_GE(from, previousEnd + 3 - 1e-9) << c.what;
      for (const double corner : c.corners) {
        EXPECT_FALSE(corner > from && corner < to) << c.what << ": corner " << corner;
      }
      previousEnd = to;
    }
  }
  EXPECT_EQ(tabsBySpacing(410, 100), 4);
  EXPECT_EQ(tabsBySpacing(30, 100), 1);
}

}  // namespace
}  // namespace brevanto
