#include "platform/settings_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/settings_store.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto {
namespace {

TEST(SettingsFile, LineRules) {
  const struct {
    const char* content;
    const char* name;
    std::string value;
  } cases[] = {
      {"txtFeedZ=100\n", "txtFeedZ", "100"},
      {"txtFeedZ=100\r\n", "txtFeedZ", "100"},          // the CR of a Windows line end goes
      {"txtFeedZ=100\r\r\n", "txtFeedZ", "100\r"},      // only one
      {"txtFeedZ= 150abc \n", "txtFeedZ", " 150abc "},  // the value is not trimmed
      {" txtFeedZ\t=7", "txtFeedZ", "7"},               // the name is, and no final line end
      {"a=b=c\n", "a", "b=c"},                          // split at the first '='
      {"#txtFeedZ=1\n;txtFeedZ=2\n[CNC]\n\ntxtFeedZ=3\n", "txtFeedZ", "3"},
      {"[txtFeedZ=1]\n", "txtFeedZ", ""},             // a section line, however it looks
      {"txtFeedZ=1\ntxtFeedZ=2\n", "txtFeedZ", "2"},  // the last wins
      {"txtFeedZ=1\ntxtFeedZ=\n", "txtFeedZ", ""},
      {"txtFeedZ 100\n", "txtFeedZ", ""},            // no '=': ignored
      {"txtFeed=1\ntxtFeedZZ=2\n", "txtFeedZ", ""},  // whole names only
      {"txtfeedz=1\n", "txtFeedZ", ""},              // names are case-sensitive
      {"Prezision=0.5\n", "Prezision", "0.5"},
      {"", "txtFeedZ", ""},
      {"\xEF\xBB\xBFtxtFeedZ=5\n", "txtFeedZ", "5"},  // a UTF-8 byte-order mark is no part of it
      // Only lines before any section or under [CNC] are the job's.
      {"txtFeedZ=1\n[operation hole]\ntxtFeedZ=9\n", "txtFeedZ", "1"},
      {"[operation hole]\ntxtSaveZ=9\n[cnc]\ntxtSaveZ=2\n", "txtSaveZ", "2"},
  };
  test::TempDir dir;
  const std::string file = dir.file("CNC.ini");
  for (const auto& c : cases) {
    test::writeFileBytes(file, c.content);
    EXPECT_EQ(readSettingsFileValue(file, c.name), c.value) << c.content;
  }
}

TEST(SettingsFile, ValuesOfTheRegistryLengthOnly) {
  test::TempDir dir;
  const std::string file = dir.file("CNC.ini");
  const std::string longest(254, '7');
  test::writeFileBytes(file, "txtFeedZ=" + longest + "\n");
  EXPECT_EQ(readSettingsFileValue(file, "txtFeedZ"), longest);
  test::writeFileBytes(file, "txtFeedZ=" + longest + "7\r\n");
  EXPECT_EQ(readSettingsFileValue(file, "txtFeedZ"), "");
}

TEST(SettingsFile, MissingFileReadsEmpty) {
  test::TempDir dir;
  EXPECT_EQ(readSettingsFileValue(dir.file("none.ini"), "txtFeedZ"), "");
  EXPECT_EQ(readSettingsFileValue(dir.path().string(), "txtFeedZ"), "");  // a folder
}

// The shipped example holds the settings of the worked example program.
TEST(SettingsFile, ShippedExample) {
  const std::string file = std::string(BREVANTO_SOURCE_DIR) + "/examples/CNC.ini";
  for (const auto& [name, value] : test::workedExampleSettings()) {
    if (name == "Prezision") continue;
    EXPECT_EQ(readSettingsFileValue(file, name), value) << name;
  }
  EXPECT_EQ(readSettingsFileValue(file, "Prezision"), "3");  // the same as empty
}

#ifndef _WIN32
// Sets or removes an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsFile, DefaultPath) {
  const struct {
    const char* settings;
    const char* xdg;
    const char* path;
  } cases[] = {
      {"/etc/x.ini", "/xdg", "/etc/x.ini"},
      {nullptr, "/xdg", "/xdg/brevanto/CNC.ini"},
      {"", "/xdg", "/xdg/brevanto/CNC.ini"},
      {nullptr, nullptr, "/home/u/.config/brevanto/CNC.ini"},
      {nullptr, "", "/home/u/.config/brevanto/CNC.ini"},
      {nullptr, "relative", "/home/u/.config/brevanto/CNC.ini"},
  };
  const ScopedEnv home("HOME", "/home/u");
  for (const auto& c : cases) {
    const ScopedEnv settings("BREVANTO_SETTINGS", c.settings);
    const ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(defaultSettingsFilePath(), c.path);
  }
}

// The platform store reads the file named by BREVANTO_SETTINGS, anew for
// every value.
TEST(SettingsFile, PlatformStoreReadsTheFileEveryTime) {
  test::TempDir dir;
  const std::string file = dir.file("CNC.ini");
  const ScopedEnv settings("BREVANTO_SETTINGS", file.c_str());
  const SettingsSource store = platformSettings();
  test::writeFileBytes(file, "[CNC]\ntxtFeedZ=100\n");
  EXPECT_EQ(store("txtFeedZ"), "100");
  test::writeFileBytes(file, "[CNC]\ntxtFeedZ=250\n");
  EXPECT_EQ(store("txtFeedZ"), "250");
  EXPECT_EQ(store("txtMaxZ"), "");
}
#endif

}  // namespace
}  // namespace brevanto
