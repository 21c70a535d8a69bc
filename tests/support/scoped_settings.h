#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "platform/settings_store.h"

namespace brevanto::test {

// Answers every settings read from a fixed table for the life of the object:
// a sound set of machining values and the given precision text ("" is the
// default precision). Names not in the table read as "".
class ScopedSettings {
 public:
  explicit ScopedSettings(std::string precision = "") {
    values_ = {{"txtFeedZ", "100"},   {"txtMaxZ", "1"},
               {"txtDepth", "2"},     {"txtSaveZ", "5"},
               {"txtFeedCut", "800"}, {"txtWZNummer", "1"},
               {"txtWZDia", "3"},     {"Prezision", std::move(precision)}};
    install();
  }
  ~ScopedSettings() { setSettingsSource({}); }
  ScopedSettings(const ScopedSettings&) = delete;
  ScopedSettings& operator=(const ScopedSettings&) = delete;

  // Changes one value; the next read sees it.
  void set(const std::string& name, std::string text) { values_[name] = std::move(text); }

 private:
  void install() {
    setSettingsSource([this](std::string_view name) {
      const auto found = values_.find(name);
      return found == values_.end() ? std::string() : found->second;
    });
  }

  std::map<std::string, std::string, std::less<>> values_;
};

}  // namespace brevanto::test
