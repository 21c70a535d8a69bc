#include "settings/settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <string>
#include <string_view>

#include "base/job_error.h"
#include "geometry/int_conversion.h"
#include "settings/setting_number.h"

namespace brevanto {
namespace {

[[noreturn]] void refuse(const std::string& message) {
  throw JobError(BREVANTO_SETTINGS_REFUSED, message);
}

// Settings are C strings in every store: nothing after a NUL byte counts.
std::string readText(const SettingsSource& source, std::string_view name) {
  std::string text = source(name);
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

// The number at the start of the setting's text (see readSettingNumber),
// narrowed to the float the field holds. A text that does not start with a
// number, a range error of the reading, and a value that is not finite as a
// float ("nan", "inf", "1e39") are refused with the setting's name and text:
// an infinite total depth never ends the pass loop.
float readSettingFloat(const SettingsSource& source, std::string_view name) {
  const std::string text = readText(source, name);
  const SettingNumber number = readSettingNumber(text);
  const auto value = static_cast<float>(number.value);
  const std::string quoted = std::string(name) + ": \"" + text + "\" is ";
  if (number.length == 0 || std::isnan(value)) refuse(quoted + "not a number");
  if (number.outOfRange || std::isinf(value)) {
    refuse(quoted + (std::fabs(number.value) < 1.0 ? "out of range (too close to 0)"
                                                   : "out of range (too large)"));
  }
  return value;
}

std::string shortestText(float value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// The index of a choice's value in its list, 0 when the text is empty or
// blank; case and blanks around the value do not count.
size_t readChoice(const SettingsSource& source, const SettingInfo& setting) {
  const std::string text = readText(source, setting.name);
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t from = 0, to = text.size();
  while (from < to && blank(text[from])) ++from;
  while (to > from && blank(text[to - 1])) --to;
  const std::string_view value(text.data() + from, to - from);
  if (value.empty()) return 0;
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  std::string known;
  for (size_t i = 0; i < setting.choices.size(); ++i) {
    const std::string_view name = setting.choices[i];
    if (std::equal(value.begin(), value.end(), name.begin(), name.end(),
                   [&lower](char a, char b) { return lower(a) == b; })) {
      return i;
    }
    known += (i == 0 ? "" : ", ") + std::string(name);
  }
  // The dialect's refusal has read this way since it was the only choice:
  // the whole text as stored, and the values after "use one of".
  if (&setting == findSetting("Dialect")) {
    refuse("Dialect: \"" + text + "\" is not a known dialect; use one of " + known);
  }
  refuse(std::string(setting.name) + ": \"" + std::string(value) + "\" is not one of its values (" +
         known + ")");
}

// A text setting without the blanks around it.
std::string readTrimmedText(const SettingsSource& source, std::string_view name) {
  const std::string text = readText(source, name);
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

size_t readChoice(const SettingsSource& source, std::string_view name) {
  return readChoice(source, *findSetting(name));
}

}  // namespace

// The pass loop cuts pass p at p * passDepth (single precision) and stops at
// the first pass at or below the total depth. The products only fall as p
// grows, so looking at pass kMostPasses tells whether the loop ends in time.
// A pass depth of 0 is cut as one pass at the total depth.
void checkPassCount(float passDepth, float finalDepth) {
  if (passDepth == 0.0F) return;
  if (static_cast<float>(kMostPasses) * passDepth <= finalDepth) return;
  refuse("txtMaxZ: a pass depth of " + shortestText(-passDepth) + " needs more than " +
         std::to_string(kMostPasses) + " passes to reach the total depth of " +
         shortestText(-finalDepth) + " (txtDepth)");
}

JobSettings loadSettings(const SettingsSource& source) {
  JobSettings s;
  s.plungeFeed = std::fabs(readSettingFloat(source, "txtFeedZ"));
  s.passDepth = std::fabs(readSettingFloat(source, "txtMaxZ")) * -1.0F;
  s.finalDepth = std::fabs(readSettingFloat(source, "txtDepth")) * -1.0F;
  checkPassCount(s.passDepth, s.finalDepth);
  s.safeZ = readSettingFloat(source, "txtSaveZ");
  s.cutFeed = std::fabs(readSettingFloat(source, "txtFeedCut"));
  s.toolNumber = truncateToInt32(std::fabs(readSettingFloat(source, "txtWZNummer")));
  s.toolDiameter = std::fabs(readSettingFloat(source, "txtWZDia"));
  s.precision = readPrecision(source);
  s.dialect = static_cast<Dialect>(readChoice(source, "Dialect"));
  s.cutOrder = static_cast<CutOrder>(readChoice(source, "CutOrder"));
  s.toolOffset = static_cast<ToolOffset>(readChoice(source, "ToolOffset"));
  s.textFont = readTrimmedText(source, "TextFont");
  return s;
}

const JobSettings& checkedSettings(const JobSettings& s) {
  const struct {
    float value;
    const char* name;
    int sign;  // -1: at most 0, 1: at least 0, 0: either
  } values[] = {{s.plungeFeed, "txtFeedZ", 1},  {s.passDepth, "txtMaxZ", -1},
                {s.finalDepth, "txtDepth", -1}, {s.safeZ, "txtSaveZ", 0},
                {s.cutFeed, "txtFeedCut", 1},   {s.toolDiameter, "txtWZDia", 1}};
  for (const auto& v : values) {
    if (!std::isfinite(v.value) || (v.sign < 0 && v.value > 0.0F) ||
        (v.sign > 0 && v.value < 0.0F)) {
      refuse(std::string(v.name) + ": " + shortestText(v.value) + " is not a value it can hold");
    }
  }
  if (s.toolNumber < 0) refuse("txtWZNummer: " + std::to_string(s.toolNumber) + " is negative");
  if (static_cast<size_t>(s.dialect) >= std::size(kDialectNames) ||
      static_cast<size_t>(s.cutOrder) >= std::size(kCutOrderNames) ||
      static_cast<size_t>(s.toolOffset) >= std::size(kToolOffsetNames)) {
    refuse("Dialect, CutOrder or ToolOffset: not one of its values");
  }
  checkPassCount(s.passDepth, s.finalDepth);
  return s;
}

double readPrecision(const SettingsSource& source) {
  return readSettingNumber(readText(source, "Prezision")).value;
}

}  // namespace brevanto
