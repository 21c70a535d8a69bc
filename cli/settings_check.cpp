#include "settings_check.h"

namespace brevanto::cli {

std::optional<std::string> checkSettings(const SettingsChoice& choice) {
  for (const SettingInfo& info : kSettings) {
    const ChosenValue& value = choice.value(info.name);
    const std::string fault = strictSettingFault(info, value.text);
    if (fault.empty()) continue;
    const std::string example = std::string(info.name) + "=" + std::string(info.builtIn);
    if (!value.present) {
      const std::string unit = info.unit.empty() ? "" : ", " + std::string(info.unit);
      return std::string(info.name) + " (" + std::string(info.meaning) + unit +
             ") is missing from " + value.origin + ": add a line such as " + example;
    }
    return std::string(info.name) + "=" + value.text + " (from " + value.origin + "): " + fault;
  }
  return std::nullopt;
}

std::string settingsFileText(const SettingsChoice& choice) {
  std::string text = "# The settings in effect; the command reads this file back as it is.\n[" +
                     std::string(kSettingsSection) + "]\n";
  for (const SettingInfo& info : kSettings) {
    const ChosenValue& v = choice.value(info.name);
    text += "# " + std::string(info.meaning);
    if (!info.unit.empty()) text += ", " + std::string(info.unit);
    text += " (from " + v.origin + ")\n" + std::string(info.name) + "=" + v.text + "\n";
  }
  return text;
}

}  // namespace brevanto::cli
