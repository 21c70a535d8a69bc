#include "settings_choice.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/settings_file.h"
#include "platform/settings_store.h"

namespace brevanto::cli {

// Kept equal to examples/CNC.ini (a test compares them).
std::string builtInSetting(std::string_view name) {
  static const std::map<std::string, std::string, std::less<>> values{
      {"txtFeedZ", "100"},   {"txtMaxZ", "1.5"},   {"txtDepth", "2"}, {"txtSaveZ", "5"},
      {"txtFeedCut", "800"}, {"txtWZNummer", "1"}, {"txtWZDia", "3"}, {"Prezision", "3"}};
  const auto found = values.find(name);
  return found != values.end() ? found->second : std::string();
}

std::string SettingsChoice::text(std::string_view name) const {
  if (const auto found = overrides.find(name); found != overrides.end()) return found->second;
  switch (base) {
    case Base::NamedFile:
      return readSettingsFileValue(filePath, name);
    case Base::BuiltIn:
      return builtInSetting(name);
    case Base::PlatformStore:
      break;
  }
  return readPlatformSetting(name);
}

std::string SettingsChoice::origin(std::string_view name) const {
  if (overrides.contains(name)) return "--set";
  switch (base) {
    case Base::NamedFile:
      return filePath;
    case Base::BuiltIn:
      return "built in (the values of examples/CNC.ini)";
    case Base::PlatformStore:
      break;
  }
  return filePath;
}

std::optional<SettingsChoice> chooseSettings(const std::optional<std::string>& settingsFile,
                                             const std::vector<std::string>& assignments,
                                             std::string& error) {
  SettingsChoice choice;
  if (settingsFile) {
    std::ifstream probe(*settingsFile);
    if (!probe) {
      error = "the settings file " + *settingsFile + " cannot be read";
      return std::nullopt;
    }
    choice.base = SettingsChoice::Base::NamedFile;
    choice.filePath = *settingsFile;
  } else {
    choice.filePath = defaultSettingsFilePath();
    std::error_code ignored;
    choice.base = std::filesystem::is_regular_file(choice.filePath, ignored)
                      ? SettingsChoice::Base::PlatformStore
                      : SettingsChoice::Base::BuiltIn;
  }
  for (const std::string& assignment : assignments) {
    const auto equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    const bool known = std::find(std::begin(kSettingNames), std::end(kSettingNames), name) !=
                       std::end(kSettingNames);
    if (equals == std::string::npos || !known) {
      error = "--set " + assignment + ": expected NAME=VALUE with NAME one of";
      for (std::string_view n : kSettingNames) error += " " + std::string(n);
      return std::nullopt;
    }
    choice.overrides[name] = assignment.substr(equals + 1);
  }
  return choice;
}

void installSettings(const SettingsChoice& choice) {
  setSettingsSource([choice](std::string_view name) { return choice.text(name); });
}

}  // namespace brevanto::cli
