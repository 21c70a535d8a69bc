#include "settings/settings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "base/job_error.h"
#include "gcode/program_writer.h"
#include "support/settings_source.h"

namespace brevanto {
namespace {

using test::SettingsTable;
using test::workedExampleSettings;

TEST(LoadSettings, WorkedExample) {
  SettingsTable settings(workedExampleSettings());
  const JobSettings s = loadSettings(settings.source());
  EXPECT_EQ(s.plungeFeed, 100.0F);
  EXPECT_EQ(s.passDepth, -1.5F);
  EXPECT_EQ(s.finalDepth, -2.0F);
  EXPECT_EQ(s.safeZ, 5.0F);
  EXPECT_EQ(s.cutFeed, 800.0F);
  EXPECT_EQ(s.toolNumber, 1);
  EXPECT_EQ(s.toolDiameter, 3.0F);
  EXPECT_EQ(toolChangeLine(s), "T1M6 ( DIA. 3.0000mm )");
  // Each value once, in the load order: one snapshot per job.
  const std::vector<std::string> order = {"txtFeedZ",   "txtMaxZ",     "txtDepth",   "txtSaveZ",
                                          "txtFeedCut", "txtWZNummer", "txtWZDia",   "Prezision",
                                          "Dialect",    "CutOrder",    "ToolOffset", "TextFont"};
  EXPECT_EQ(settings.asked(), order);
}

// One value changed from the worked example, and the field it lands in.
struct FieldCase {
  const char* name;
  const char* text;
  float JobSettings::*field;
  float expected;
};

TEST(LoadSettings, SignRulesAndNumberReading) {
  const FieldCase cases[] = {
      {"txtMaxZ", "2", &JobSettings::passDepth, -2.0F},
      {"txtMaxZ", "-2", &JobSettings::passDepth, -2.0F},
      {"txtDepth", "-5", &JobSettings::finalDepth, -5.0F},
      {"txtDepth", "5", &JobSettings::finalDepth, -5.0F},
      {"txtSaveZ", "-3", &JobSettings::safeZ, -3.0F},  // the only signed value
      {"txtFeedZ", "-150", &JobSettings::plungeFeed, 150.0F},
      {"txtFeedZ", " 150abc", &JobSettings::plungeFeed, 150.0F},  // blank skipped, rest ignored
      {"txtFeedCut", "2,5", &JobSettings::cutFeed, 2.0F},         // a comma ends the number
      {"txtFeedCut", "+7.25e1", &JobSettings::cutFeed, 72.5F},
      {"txtWZDia", "-3.175", &JobSettings::toolDiameter, 3.175F},
      // Read as glibc reads them, on every platform: hexadecimal, and a
      // normal double that is a denormal float.
      {"txtFeedZ", "0x64", &JobSettings::plungeFeed, 100.0F},
      {"txtWZDia", "0x1.965p+1", &JobSettings::toolDiameter, static_cast<float>(0x1.965p+1)},
      {"txtSaveZ", "1e-40", &JobSettings::safeZ, static_cast<float>(1e-40)},
  };
  for (const auto& c : cases) {
    SettingsTable settings(workedExampleSettings());
    settings.set(c.name, c.text);
    EXPECT_EQ(loadSettings(settings.source()).*c.field, c.expected) << c.name << "=" << c.text;
  }
}

TEST(LoadSettings, ToolChangeLine) {
  const struct {
    const char* tool;
    const char* diameter;
    const char* line;
  } cases[] = {
      {"3", "6", "T3M6 ( DIA. 6.0000mm )"},
      {"12", "3.175", "T12M6 ( DIA. 3.1750mm )"},
      {"1", "0.1", "T1M6 ( DIA. 0.1000mm )"},
      {"2.9", "3", "T2M6 ( DIA. 3.0000mm )"},  // truncated toward zero
      {"-4", "3", "T4M6 ( DIA. 3.0000mm )"},   // absolute value
      // Beyond a 32-bit int: the defined x86 answer, never undefined behaviour.
      {"1e20", "3", "T-2147483648M6 ( DIA. 3.0000mm )"},
  };
  for (const auto& c : cases) {
    SettingsTable settings(workedExampleSettings());
    settings.set("txtWZNummer", c.tool);
    settings.set("txtWZDia", c.diameter);
    EXPECT_EQ(toolChangeLine(loadSettings(settings.source())), c.line);
  }
}

TEST(LoadSettings, RefusedValuesAreNamed) {
  const struct {
    const char* text;
    bool outOfRange;
  } cases[] = {
      {"abc", false},
      {"", false},
      {",5", false},
      {"nan", false},
      {"1e999", true},
      {"-1e999", true},
      {"1e39", true},  // finite as a double, infinite as a
                       // float
      {"inf", true},
      {"-infinity", true},
      {"4e-320", true},  // a double, but not an exact one: glibc's underflow
  };
  for (const char* name : {"txtFeedZ", "txtDepth", "txtSaveZ", "txtWZNummer", "txtWZDia"}) {
    for (const auto& c : cases) {
      SettingsTable settings(workedExampleSettings());
      settings.set(name, c.text);
      try {
        (void)loadSettings(settings.source());
        ADD_FAILURE() << name << "=" << c.text << " was accepted";
      } catch (const JobError& e) {
        EXPECT_EQ(e.code(), BREVANTO_SETTINGS_REFUSED);
        const std::string start = std::string(name) + ": \"" + c.text + "\" is " +
                                  (c.outOfRange ? "out of range" : "not a number");
        EXPECT_EQ(std::string(e.what()).rfind(start, 0), 0U) << e.what();
      }
    }
  }
}

TEST(LoadSettings, FailureStopsAtTheFailingValue) {
  SettingsTable settings(workedExampleSettings());
  settings.set("txtSaveZ", "x");
  EXPECT_THROW((void)loadSettings(settings.source()), JobError);
  EXPECT_EQ(settings.asked().back(), "txtSaveZ");
}

TEST(LoadSettings, PassCountLimit) {
  const struct {
    const char* passDepth;
    const char* totalDepth;
    bool accepted;
  } cases[] = {
      {"0.5", "50000", true},                       // exactly the most passes
      {"0.5", "50000.5", false},                    // one more
      {"0.00001", "5", false},   {"0", "5", true},  // cut as one pass at the total depth
      {"0", "0", true},          {"3", "0", true},
  };
  for (const auto& c : cases) {
    SettingsTable settings(workedExampleSettings());
    settings.set("txtMaxZ", c.passDepth);
    settings.set("txtDepth", c.totalDepth);
    if (c.accepted) {
      EXPECT_NO_THROW((void)loadSettings(settings.source()))
          << c.passDepth << " / " << c.totalDepth;
      continue;
    }
    try {
      (void)loadSettings(settings.source());
      ADD_FAILURE() << c.passDepth << " / " << c.totalDepth << " was accepted";
    } catch (const JobError& e) {
      EXPECT_NE(std::string(e.what()).find("txtMaxZ"), std::string::npos) << e.what();
    }
  }
}

TEST(LoadSettings, Dialect) {
  const struct {
    const char* text;
    std::optional<Dialect> dialect;  // nullopt: refused
  } cases[] = {
      {"", Dialect::Classic},          {"classic", Dialect::Classic}, {" GRBL\r", Dialect::Grbl},
      {"linuxcnc", Dialect::LinuxCnc}, {"linux cnc", std::nullopt},   {"fanuc", std::nullopt},
  };
  for (const auto& c : cases) {
    SettingsTable settings(workedExampleSettings());
    settings.set("Dialect", c.text);
    if (c.dialect) {
      EXPECT_EQ(loadSettings(settings.source()).dialect, *c.dialect) << c.text;
      continue;
    }
    try {
      (void)loadSettings(settings.source());
      ADD_FAILURE() << c.text << " was accepted";
    } catch (const JobError& e) {
      EXPECT_EQ(e.code(), BREVANTO_SETTINGS_REFUSED);
      EXPECT_EQ(std::string(e.what()), "Dialect: \"" + std::string(c.text) +
                                           "\" is not a known dialect; use one of classic, "
                                           "linuxcnc, grbl");
    }
  }
}

TEST(ReadPrecision, LeadingNumberOrZero) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0.5", 0.5},  {" 2.5e-1x", 0.25},
      {"abc", 0.0},  {"0,5", 0.0},  // the comma ends the number after its 0
      {"", 0.0},     {"-3", -3.0},
      {"0x.8", 0.5}, {"4e-320", 4e-320},  // a range error is not looked at
  };
  for (const auto& c : cases) {
    SettingsTable settings(test::SettingsMap{{"Prezision", c.text}});
    EXPECT_EQ(readPrecision(settings.source()), c.value) << c.text;
  }
  SettingsTable settings(test::SettingsMap{{"Prezision", "1e999"}});
  EXPECT_EQ(readPrecision(settings.source()),
            std::numeric_limits<double>::infinity());  // never fails
}

// Numbers are read in the "C" locale even when the host runs in one with a
// decimal comma.
TEST(LoadSettings, IgnoresTheProcessLocale) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  }
  SettingsTable settings(workedExampleSettings());
  settings.set("txtMaxZ", "2.5");
  settings.set("txtDepth", "2,5");
  settings.set("Prezision", "0.25");
  const JobSettings s = loadSettings(settings.source());
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(s.passDepth, -2.5F);
  EXPECT_EQ(s.finalDepth, -2.0F);
  EXPECT_EQ(s.precision, 0.25);
}

}  // namespace
}  // namespace brevanto
