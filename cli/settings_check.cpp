#include "settings_check.h"

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace brevanto::cli {
namespace {

// What a numeric setting may hold; a setting without a rule here is left to
// the library's own reading. Depths are taken without their sign by the
// library (a depth is always cut downwards), so only their size is limited.
struct Rule {
  std::string_view name;
  double least;  // the value must be above this (at least it, with `leastIncluded`)
  bool leastIncluded;
  double most;             // and at most this
  bool signIgnored;        // the size is checked, the sign may be either
  bool whole;              // a whole number
  bool mayBeEmpty;         // empty means "the default"
  std::string_view range;  // the range in words, for the message
};

constexpr Rule kRules[] = {
    {"txtFeedZ", 0.0, false, 100000.0, false, false, false, "more than 0 and at most 100000"},
    {"txtMaxZ", 0.0, true, 1000.0, true, false, false,
     "at most 1000 either side of 0 (the sign does not count; 0: one pass)"},
    {"txtDepth", 0.0, true, 1000.0, true, false, false,
     "at most 1000 either side of 0 (the sign does not count)"},
    {"txtSaveZ", 0.0, false, 1000.0, false, false, false,
     "above the surface of the workpiece: more than 0 and at most 1000"},
    {"txtFeedCut", 0.0, false, 100000.0, false, false, false, "more than 0 and at most 100000"},
    {"txtWZNummer", 1.0, true, 9999.0, false, true, false, "a whole number from 1 to 9999"},
    {"txtWZDia", 0.0, false, 1000.0, false, false, false, "more than 0 and at most 1000"},
    {"Prezision", 0.0, false, HUGE_VAL, false, false, true,
     "a finite number above 0, or empty for the default"},
};
std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The length of the plain decimal number at the start of `text`: an optional
// sign, digits with at most one '.', and an optional exponent. 0 when there is
// none.
size_t decimalNumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && isDigit(text[j])) {
      while (j < text.size() && isDigit(text[j])) ++j;
      i = j;
    }
  }
  return i;
}

// Why the text is not a plain decimal number, and how to write it; "" when it
// is one.
std::string numberFault(std::string_view name, std::string_view text) {
  const std::string example = std::string(name) + "=";
  const size_t length = decimalNumberLength(text);
  if (length == text.size()) return {};
  const std::string_view rest = text.substr(length);
  if (length > 0 && rest.front() == ',' && rest.size() > 1 && isDigit(rest[1])) {
    std::string fixed(text);
    fixed[length] = '.';
    return "use a decimal point, not a comma: " + example + fixed;
  }
  if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return "write the number in decimal digits, not hexadecimal";
  }
  std::string lower;
  for (char c : text) lower += static_cast<char>(c | 0x20);
  const std::string_view bare = lower.front() == '-' || lower.front() == '+'
                                    ? std::string_view(lower).substr(1)
                                    : std::string_view(lower);
  if (bare.starts_with("nan") || bare.starts_with("inf")) {
    return "give a finite number";
  }
  if (length > 0) {
    return "give the number alone, without a unit or other text: " + example +
           std::string(text.substr(0, length));
  }
  return "give a number, with a decimal point if it has a fraction";
}

std::string describe(const Rule& rule, const ChosenValue& value) {
  return std::string(rule.name) + "=" + value.text + " (from " + value.origin + ")";
}

std::optional<std::string> check(const Rule& rule, const SettingInfo& info,
                                 const ChosenValue& value) {
  const std::string example = std::string(rule.name) + "=" + std::string(info.builtIn);
  const std::string_view text = trimBlanks(value.text);
  if (text.empty()) {
    if (rule.mayBeEmpty) return std::nullopt;
    if (!value.present) {
      return std::string(rule.name) + " (" + std::string(info.meaning) + ") is missing from " +
             value.origin + ": add a line such as " + example;
    }
    return describe(rule, value) + ": empty; give " + std::string(info.meaning) + ", for example " +
           example;
  }
  if (std::string fault = numberFault(rule.name, text); !fault.empty()) {
    return describe(rule, value) + ": not a plain decimal number; " + fault;
  }
  double number = 0.0;
  const char* first = text.data() + (text.front() == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
  const double size = rule.signIgnored ? std::fabs(number) : number;
  const bool fits = error == std::errc() && std::isfinite(number) &&
                    (rule.leastIncluded ? size >= rule.least : size > rule.least) &&
                    size <= rule.most && (!rule.whole || number == std::floor(number));
  if (fits) return std::nullopt;
  return describe(rule, value) + ": must be " + std::string(rule.range) + " (" +
         std::string(info.meaning) + "); for example " + example;
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

const Rule* ruleFor(std::string_view name) {
  for (const Rule& rule : kRules) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

}  // namespace

std::string_view settingRange(std::string_view name) {
  const Rule* rule = ruleFor(name);
  return rule != nullptr ? rule->range : std::string_view();
}

std::optional<std::string> checkSettings(const SettingsChoice& choice) {
  for (const SettingInfo& info : kSettings) {
    const Rule* rule = ruleFor(info.name);
    if (rule == nullptr) continue;
    if (auto refusal = check(*rule, info, choice.value(info.name))) return refusal;
  }
  return checkGrblDigits(choice);
}

}  // namespace brevanto::cli
