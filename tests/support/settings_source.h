#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/settings_store.h"

namespace brevanto::test {

using SettingsMap = std::map<std::string, std::string, std::less<>>;

// The machining settings of the worked example program.
inline SettingsMap workedExampleSettings() {
  return {{"txtFeedZ", "100"},   {"txtMaxZ", "1.5"},   {"txtDepth", "2"}, {"txtSaveZ", "5"},
          {"txtFeedCut", "800"}, {"txtWZNummer", "1"}, {"txtWZDia", "3"}, {"Prezision", ""}};
}

// Installs the worked example's settings as the settings store: what every
// test starts with (see test_defaults.cpp).
inline void installDefaultTestSettings() {
  setSettingsSource([](std::string_view name) {
    static const SettingsMap settings = workedExampleSettings();
    const auto it = settings.find(name);
    return it == settings.end() ? std::string() : it->second;
  });
}

// Installs `values` as the settings store for the life of the object, and
// records which names were asked for, in order. Afterwards the default test
// settings are back.
class SettingsTable {
 public:
  explicit SettingsTable(SettingsMap values) : values_(std::move(values)) {
    setSettingsSource([this](std::string_view name) {
      asked_.emplace_back(name);
      const auto it = values_.find(name);
      return it == values_.end() ? std::string() : it->second;
    });
  }
  ~SettingsTable() { installDefaultTestSettings(); }
  SettingsTable(const SettingsTable&) = delete;
  SettingsTable& operator=(const SettingsTable&) = delete;

  std::string& operator[](const std::string& name) { return values_[name]; }
  const std::vector<std::string>& asked() const { return asked_; }

 private:
  SettingsMap values_;
  std::vector<std::string> asked_;
};

}  // namespace brevanto::test
