#include "settings_check.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace brevanto::cli {
namespace {

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// grbl keeps eight significant digits of a number and drops the rest without
// a word. The settings the program writes as numbers, with the decimals they
// are written with: one that would lose a digit is refused here, by its name,
// before the job runs (the library refuses it too, by the same name).
struct WrittenSetting {
  std::string_view name;
  int decimals;
};
constexpr WrittenSetting kWrittenSettings[] = {
    {"txtFeedCut", 4}, {"txtFeedZ", 1}, {"txtSaveZ", 4}, {"txtDepth", 4}};
constexpr int kGrblDigits = 8;

bool isGrbl(const SettingsChoice& choice) {
  const std::string_view name = trimBlanks(choice.value("Dialect").text);
  return name.size() == 4 && (name[0] | 0x20) == 'g' && (name[1] | 0x20) == 'r' &&
         (name[2] | 0x20) == 'b' && (name[3] | 0x20) == 'l';
}

std::optional<std::string> checkGrblDigits(const SettingsChoice& choice) {
  if (!isGrbl(choice)) return std::nullopt;
  for (const WrittenSetting& setting : kWrittenSettings) {
    const ChosenValue& value = choice.value(setting.name);
    const std::string_view text = trimBlanks(value.text);
    if (text.empty()) continue;
    // As the library reads it (a float) and writes it.
    float number = 0.0F;
    const char* first = text.data() + (text.front() == '+' ? 1 : 0);
    if (std::from_chars(first, text.data() + text.size(), number).ec != std::errc()) continue;
    char written[64];
    const auto end =
        std::to_chars(written, written + sizeof written, std::fabs(static_cast<double>(number)),
                      std::chars_format::fixed, setting.decimals)
            .ptr;
    int digits = 0;
    for (const char* c = written; c != end; ++c) {
      if (*c < '0' || *c > '9') continue;
      if (++digits > kGrblDigits && *c != '0') {
        return std::string(setting.name) + "=" + value.text + " (from " + value.origin +
               "): grbl reads only " + std::to_string(kGrblDigits) +
               " digits of a number and would take another value; give at most " +
               std::to_string(kGrblDigits) + " digits (it is written with " +
               std::to_string(setting.decimals) + " decimals)";
      }
    }
  }
  return std::nullopt;
}

}  // namespace

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
  return checkGrblDigits(choice);
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
