// Every test starts from the same ground: the worked example's settings in the
// settings store and the program file in a private temporary folder, so that
// no test depends on the machine's own settings file or home folder, nor on
// what an earlier test changed.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace brevanto::test {
namespace {

const TempDir& defaultsDir() {
  static const TempDir dir;
  return dir;
}

}  // namespace

SettingsTable::SettingsTable(SettingsMap values) : values_(std::move(values)) {
  write();
  setenv("BREVANTO_SETTINGS", file_.c_str(), 1);
}

SettingsTable::~SettingsTable() {
  installDefaultTestSettings();
}

void SettingsTable::set(const std::string& name, std::string value) {
  values_[name] = std::move(value);
  write();
}

void SettingsTable::write() const {
  writeFileBytes(file_, settingsFileText(values_));
}

SettingsSource SettingsTable::source() {
  return [this](std::string_view name) {
    asked_.emplace_back(name);
    const auto it = values_.find(name);
    return it == values_.end() ? std::string() : it->second;
  };
}

void setProgramFolder(const std::string& folder) {
  setenv("BREVANTO_OUTPUT_DIR", folder.c_str(), 1);
}

void installDefaultTestSettings() {
  const std::string file = defaultsDir().file("CNC.ini");
  writeFileBytes(file, settingsFileText(workedExampleSettings()));
  setenv("BREVANTO_SETTINGS", file.c_str(), 1);
  setProgramFolder(defaultsDir().path().string());
}

namespace {

class TestDefaults : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& /*test*/) override { installDefaultTestSettings(); }
};

[[maybe_unused]] const bool installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new TestDefaults);
  return true;
}();

}  // namespace
}  // namespace brevanto::test
