// The settings table's services: finding a row, the strict reading the
// command applies, and the typed value in either strictness.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/job_error.h"
#include "settings/settings.h"

namespace brevanto {
namespace {

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
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

// Text after a number that is a unit ("mm", " mm/min"): a word of letters,
// maybe with a '/', and no digit. Only then is the number alone what the
// user meant; "1/8" or "1.5.3" are not a number followed by a unit.
bool isUnit(std::string_view rest) {
  rest = trimBlanks(rest);
  if (rest.empty() || !isLetter(rest.front())) return false;
  if (rest.front() == 'e' || rest.front() == 'E') return false;  // a broken exponent
  return std::all_of(rest.begin(), rest.end(), [](char c) { return isLetter(c) || c == '/'; });
}

// Why the text is not a plain decimal number, and how to write it when the fix
// is certain; "" when it is one.
std::string numberFault(std::string_view name, std::string_view text) {
  const std::string example = std::string(name) + "=";
  const size_t length = decimalNumberLength(text);
  if (length == text.size()) return {};
  const std::string_view rest = text.substr(length);
  if (length > 0 && rest.front() == ',' && rest.size() > 1 && isDigit(rest[1]) &&
      decimalNumberLength(rest.substr(1)) == rest.size() - 1) {
    std::string fixed(text);
    fixed[length] = '.';
    return "use a decimal point, not a comma: " + example + fixed;
  }
  if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    return "write the number in decimal digits, not hexadecimal";
  }
  std::string lowered;
  for (char c : text) lowered += lower(c);
  const std::string_view bare = lowered.front() == '-' || lowered.front() == '+'
                                    ? std::string_view(lowered).substr(1)
                                    : std::string_view(lowered);
  if (bare.starts_with("nan") || bare.starts_with("inf")) return "give a finite number";
  if (length > 0 && isUnit(rest)) {
    return "give the number alone, without a unit: " + example +
           std::string(text.substr(0, length));
  }
  return "give a number, with a decimal point if it has a fraction";
}

std::string choiceList(const SettingInfo& setting) {
  std::string list;
  for (const std::string_view c : setting.choices)
    list += (list.empty() ? "" : ", ") + std::string(c);
  return list;
}

bool isChoice(const SettingInfo& setting, std::string_view text) {
  return std::any_of(setting.choices.begin(), setting.choices.end(), [text](std::string_view c) {
    return std::equal(text.begin(), text.end(), c.begin(), c.end(),
                      [](char a, char b) { return lower(a) == b; });
  });
}

bool isNone(std::string_view text) {
  return text.size() == 4 && lower(text[0]) == 'n' && lower(text[1]) == 'o' &&
         lower(text[2]) == 'n' && lower(text[3]) == 'e';
}

// Levenshtein distance, case not counted: setting names are short.
size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const size_t swap = lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1;
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + swap});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Why `text` (trimmed, not empty) is not a plain decimal number within the
// setting's range; "" when it is one.
std::string numberInRangeFault(const SettingInfo& setting, std::string_view text,
                               const std::string& what, const std::string& example) {
  // A number that may also be a word ("Tabs=auto").
  if (isChoice(setting, text)) return {};
  if (std::string fault = numberFault(setting.name, text); !fault.empty()) {
    const std::string words = setting.choices.empty() ? "" : " nor " + choiceList(setting);
    return "not a plain decimal number" + words + "; " + fault;
  }
  double number = 0.0;
  const char* first = text.data() + (text.front() == '+' ? 1 : 0);
  const auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
  const double size = setting.signIgnored ? std::fabs(number) : number;
  const bool fits = error == std::errc() && std::isfinite(number) &&
                    (setting.leastIncluded ? size >= setting.least : size > setting.least) &&
                    size <= setting.most &&
                    (setting.type != SettingType::Whole || number == std::floor(number));
  if (fits) return {};
  const bool hasExample = !setting.builtIn.empty();
  return "must be " + std::string(setting.range) + " (" + what + ")" +
         (hasExample ? "; for example " + example : "");
}

// A place: "none", or two numbers X,Y each within the setting's range.
std::string placeFault(const SettingInfo& setting, std::string_view text, const std::string& what,
                       const std::string& example) {
  if (isNone(text)) return {};
  const size_t comma = text.find(',');
  if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos) {
    return "give X,Y (two numbers and a comma, such as " + std::string(setting.name) +
           "=10,300) or none";
  }
  for (const std::string_view part : {text.substr(0, comma), text.substr(comma + 1)}) {
    const std::string_view number = trimBlanks(part);
    if (number.empty()) return "give X,Y with both numbers, or none";
    if (std::string fault = numberInRangeFault(setting, number, what, example); !fault.empty()) {
      return fault;
    }
  }
  return {};
}

}  // namespace

const SettingInfo* findSetting(std::string_view name) {
  for (const SettingInfo& s : kSettings) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

const SettingInfo* nearestSetting(std::string_view name) {
  const SettingInfo* best = nullptr;
  size_t bestDistance = 0;
  for (const SettingInfo& s : kSettings) {
    const size_t d = editDistance(name, s.name);
    if (best == nullptr || d < bestDistance) best = &s, bestDistance = d;
  }
  // Two slips (a swapped pair, a letter missing and one wrong) at most, and
  // never most of the name.
  if (best == nullptr || bestDistance > 2 || bestDistance * 2 >= best->name.size()) return nullptr;
  return best;
}

std::string strictSettingFault(const SettingInfo& setting, std::string_view rawText) {
  const std::string_view text = trimBlanks(rawText);
  const std::string example = std::string(setting.name) + "=" + std::string(setting.builtIn);
  const std::string what =
      std::string(setting.meaning) + (setting.unit.empty() ? "" : ", " + std::string(setting.unit));
  if (text.empty()) {
    if (setting.mayBeEmpty) return {};
    return "empty; give " + what + ", for example " + example;
  }
  if (setting.type == SettingType::Choice) {
    if (isChoice(setting, text)) return {};
    return "not one of its values (" + choiceList(setting) + ")";
  }
  if (setting.type == SettingType::Text) {
    const std::string_view name = text.substr(std::min(text.size(), setting.textPrefix.size()));
    const bool named = text.starts_with(setting.textPrefix) && !name.empty() &&
                       std::all_of(name.begin(), name.end(), [](char c) {
                         return isLetter(c) || isDigit(c) || c == '_' || c == '-';
                       });
    if (named) return {};
    return "must be " + std::string(setting.range) + " (" + what + ")";
  }
  if (setting.type == SettingType::Place) return placeFault(setting, text, what, example);
  return numberInRangeFault(setting, text, what, example);
}

SettingsRead readSettings(const SettingsSource& source, SettingsReading reading) {
  // One snapshot: each setting is asked of the store once, whichever reading.
  std::map<std::string, std::string, std::less<>> texts;
  for (const SettingInfo& s : kSettings) texts.emplace(s.name, source(s.name));
  SettingsRead read;
  if (reading == SettingsReading::Strict) {
    for (const SettingInfo& s : kSettings) {
      const std::string& text = texts.find(s.name)->second;
      if (std::string fault = strictSettingFault(s, text); !fault.empty()) {
        read.refusedName = s.name;
        read.error = std::string(s.name) + "=" + text + ": " + fault;
        return read;
      }
    }
  }
  // The last setting asked for when the load stops is the one refused.
  std::string_view asked;
  const SettingsSource snapshot = [&texts, &asked](std::string_view name) {
    asked = name;
    const auto found = texts.find(name);
    return found != texts.end() ? found->second : std::string();
  };
  try {
    read.settings = loadSettings(snapshot);
  } catch (const JobError& e) {
    read.refusedName = std::string(asked);
    read.error = e.what();
  }
  return read;
}

std::string exactText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace brevanto
