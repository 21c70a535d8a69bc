#include "settings_choice.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "io/input_file.h"

namespace brevanto::cli {
namespace {

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return (x | 0x20) == (y | 0x20);
         });
}

std::string operationKeyList() {
  std::string list;
  for (const std::string_view k : kOperationKeys)
    list += (list.empty() ? "" : ", ") + std::string(k);
  return list;
}

// "NAME:KEY=VALUE" laid over (or making) the operation NAME.
bool setOperationValue(const std::string& argument, SettingsChoice& choice, std::string& error) {
  const size_t colon = argument.find(':');
  const size_t equals = argument.find('=', colon == std::string::npos ? 0 : colon);
  if (colon == std::string::npos || equals == std::string::npos || colon == 0) {
    error = "--operation " + argument + ": expected NAME:KEY=VALUE, such as outline:Depth=6";
    return false;
  }
  const std::string name = argument.substr(0, colon);
  const std::string key(
      trimBlanks(std::string_view(argument).substr(colon + 1, equals - colon - 1)));
  if (!isOperationKey(key)) {
    error = "--operation " + argument + ": " + key + " is not a value of an operation (" +
            operationKeyList() + ")";
    return false;
  }
  auto found = std::find_if(choice.operations.begin(), choice.operations.end(),
                            [&name](const OperationSection& o) { return o.name == name; });
  if (found == choice.operations.end()) {
    choice.operations.push_back({name, "--operation", {}});
    found = choice.operations.end() - 1;
  }
  found->values[key] = {argument.substr(equals + 1), "--operation"};
  return true;
}

// The lines of a settings file as the library reads them (the text after the
// first '=', one trailing CR dropped, blanks around the name ignored, '#' and
// ';' comments, the last of repeated names wins), and more strictly where the
// library would mix things up: a UTF-8 byte-order mark is not part of the
// first name, and a section other than [CNC] is refused.
bool readSettingsFile(const std::string& path, SettingsChoice& choice, std::string& error) {
  std::string content;
  if (!readRegularFile(path, kLargestSettingsFile, content, error)) {
    error = "the settings file " + path + " cannot be read: " + error;
    return false;
  }
  std::string_view all(content);
  if (all.substr(0, 3) == "\xEF\xBB\xBF") all.remove_prefix(3);
  // Text the library cannot read as lines would only show as "txtFeedZ is
  // missing": say what the file is instead.
  const bool utf16 = all.starts_with("\xFF\xFE") || all.starts_with("\xFE\xFF") ||
                     all.find('\0') != std::string_view::npos;
  const bool crOnly = all.find('\n') == std::string_view::npos && all.find('\r') != all.npos &&
                      all.find('\r') + 1 < all.size();
  if (utf16 || crOnly) {
    error = "the settings file " + path +
            (utf16 ? " is UTF-16 text (or holds NUL bytes); save it as UTF-8 or plain ASCII"
                   : " ends its lines with CR alone (old Mac text); save it with LF or CR LF "
                     "line ends");
    return false;
  }
  int lineNumber = 0;
  OperationSection* operation = nullptr;  // the section being read, null in the base
  for (size_t start = 0; start < all.size();) {
    size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string_view line = all.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    const std::string where = path + ":" + std::to_string(lineNumber);
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view section =
          trimBlanks(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      if (equalsIgnoringCase(section, kSettingsSection)) {
        operation = nullptr;
        continue;
      }
      if (section.size() > 10 && equalsIgnoringCase(section.substr(0, 10), "operation ")) {
        const std::string name(trimBlanks(section.substr(10)));
        for (const OperationSection& o : choice.operations) {
          if (o.name == name) {
            error = where + ": [operation " + name + "] is given twice (first at " + o.origin +
                    "); give each operation one section";
            return false;
          }
        }
        choice.operations.push_back({name, where, {}});
        operation = &choice.operations.back();
        continue;
      }
      error = where + ": section [" + std::string(section) + "]: a settings file holds [" +
              std::string(kSettingsSection) +
              "] (lines before any section belong to it) and [operation NAME] sections; remove "
              "the other section or move it to a file of its own";
      return false;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view name = trimBlanks(line.substr(0, equals));
    if (operation != nullptr) {
      if (!isOperationKey(name)) {
        error = where + ": operation " + operation->name + ": " + std::string(name) +
                " is not a value of an operation (" + operationKeyList() + ")";
        return false;
      }
      operation->values[std::string(name)] = {std::string(line.substr(equals + 1)), where};
      continue;
    }
    if (const auto found = choice.values.find(name); found != choice.values.end()) {
      found->second = {std::string(line.substr(equals + 1)), where, true};
    } else {
      const SettingInfo* near = nearestSetting(name);
      choice.unknownNames.push_back(where + ": " + std::string(name) + ": not a setting" +
                                    (near != nullptr
                                         ? "; did you mean " + std::string(near->name) + "?"
                                         : " (the settings are " + settingNameList() + ")"));
    }
  }
  return true;
}

}  // namespace

std::string builtInSetting(std::string_view name) {
  const SettingInfo* s = findSetting(name);
  return s != nullptr ? std::string(s->builtIn) : std::string();
}

std::string settingNameList() {
  std::string list;
  for (const SettingInfo& s : kSettings) list += (list.empty() ? "" : ", ") + std::string(s.name);
  return list;
}

const ChosenValue& SettingsChoice::value(std::string_view name) const {
  static const ChosenValue none;
  const auto found = values.find(name);
  return found != values.end() ? found->second : none;
}

SettingsSource SettingsChoice::source() const {
  return [values = values](std::string_view name) {
    const auto found = values.find(name);
    return found != values.end() ? found->second.text : std::string();
  };
}

std::optional<SettingsChoice> chooseSettings(const std::optional<std::string>& settingsFile,
                                             const std::vector<std::string>& assignments,
                                             std::string& error,
                                             const std::vector<std::string>& operationValues) {
  SettingsChoice choice;
  if (settingsFile) {
    choice.base = SettingsChoice::Base::NamedFile;
    choice.filePath = *settingsFile;
  } else {
    choice.filePath = defaultSettingsFilePath();
    // Only a path that names nothing at all means "no settings file"; a
    // folder or a FIFO there is refused below like a named one.
    struct stat st {};
    if (::stat(choice.filePath.c_str(), &st) != 0) choice.base = SettingsChoice::Base::BuiltIn;
  }
  for (const SettingInfo& s : kSettings) {
    ChosenValue& v = choice.values[std::string(s.name)];
    if (choice.base == SettingsChoice::Base::BuiltIn) {
      v = {std::string(s.builtIn), "built in (the values of examples/CNC.ini)", true};
    } else {
      v.origin = choice.filePath;
    }
  }
  if (choice.base != SettingsChoice::Base::BuiltIn &&
      !readSettingsFile(choice.filePath, choice, error)) {
    return std::nullopt;
  }
  for (const std::string& assignment : assignments) {
    const auto equals = assignment.find('=');
    const std::string name = assignment.substr(0, equals);
    if (equals == std::string::npos || findSetting(name) == nullptr) {
      const SettingInfo* near = equals == std::string::npos ? nullptr : nearestSetting(name);
      error = "--set " + assignment + ": " +
              (near != nullptr
                   ? name + " is not a setting; did you mean " + std::string(near->name) + "?"
                   : "expected NAME=VALUE with NAME one of " + settingNameList());
      return std::nullopt;
    }
    choice.values[name] = {assignment.substr(equals + 1), "--set", true};
  }
  for (const std::string& value : operationValues) {
    if (!setOperationValue(value, choice, error)) return std::nullopt;
  }
  // The built-in dialect is the router's: a laser program asked for on the
  // command line (or by an operation's Kind) gets the laser's own (empty:
  // grbl), as from a file that names no dialect.
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const auto lowered = [&choice, &lower](std::string_view name) {
    return lower(choice.value(name).text);
  };
  const bool laserOperation =
      std::any_of(choice.operations.begin(), choice.operations.end(), [&lower](const auto& op) {
        const auto kind = op.values.find("Kind");
        return kind != op.values.end() &&
               lower(kind->second.text).find("laser") != std::string::npos;
      });
  ChosenValue& dialect = choice.values["Dialect"];
  if (choice.base == SettingsChoice::Base::BuiltIn && dialect.origin != "--set" &&
      (lowered("Machine").find("laser") != std::string::npos ||
       lowered("Kind").find("laser") != std::string::npos || laserOperation)) {
    dialect = {"", "built in: empty, so grbl for a laser", true};
  }
  return choice;
}

}  // namespace brevanto::cli
