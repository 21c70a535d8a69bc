#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brevanto/host.h"
#include "support/temp_dir.h"

namespace brevanto::test {

using SettingsMap = std::map<std::string, std::string, std::less<>>;

// The machining settings of the worked example program.
inline SettingsMap workedExampleSettings() {
  return {{"txtFeedZ", "100"},   {"txtMaxZ", "1.5"},   {"txtDepth", "2"}, {"txtSaveZ", "5"},
          {"txtFeedCut", "800"}, {"txtWZNummer", "1"}, {"txtWZDia", "3"}, {"Prezision", ""}};
}

// The settings as a settings file of NAME=VALUE lines.
inline std::string settingsFileText(const SettingsMap& values) {
  std::string text;
  for (const auto& [name, value] : values) text += name + "=" + value + "\n";
  return text;
}

// Points the platform's settings store ($BREVANTO_SETTINGS) at a settings
// file holding `values`, the way a user's file would, so sp() itself reads
// them. Every test starts with the worked example's (see test_defaults.cpp);
// a table changes them for its own life. `source()` offers the same values
// to a job or loader directly and records which names were asked for.
class SettingsTable {
 public:
  explicit SettingsTable(SettingsMap values);
  ~SettingsTable();
  SettingsTable(const SettingsTable&) = delete;
  SettingsTable& operator=(const SettingsTable&) = delete;

  void set(const std::string& name, std::string value);
  [[nodiscard]] SettingsSource source();
  [[nodiscard]] const std::vector<std::string>& asked() const { return asked_; }

 private:
  void write() const;

  TempDir dir_;
  std::string file_ = dir_.file("CNC.ini");
  SettingsMap values_;
  std::vector<std::string> asked_;
};

// Points sp()'s program file ($BREVANTO_OUTPUT_DIR) at `folder`/Brevanto.tap.
void setProgramFolder(const std::string& folder);

// Installs the worked example's settings and a private program folder: what
// every test starts with.
void installDefaultTestSettings();

}  // namespace brevanto::test
