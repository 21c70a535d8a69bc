#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brevanto/host.h"
#include "operations.h"

namespace brevanto::cli {

// A settings file is read by the command only up to this size.
inline constexpr size_t kLargestSettingsFile = size_t{1} << 20;

// The base section of a settings file: lines before any section count as
// part of it. Besides it a file may hold [operation NAME] sections, which
// only the command reads (the library reads the base lines alone); any
// other section is refused rather than read into the base.
inline constexpr std::string_view kSettingsSection = "CNC";

// One setting of this run: its text and where it came from.
struct ChosenValue {
  std::string text;
  std::string origin;    // "/path/CNC.ini:12", "--set", "built in (...)", or the file
  bool present = false;  // false: the file has no line for it
};

// Where the values of this run come from: single values given on the command
// line over a settings file (the one named, else the platform's own file),
// or, with no settings file anywhere, the values of examples/CNC.ini built in.
// The file is read once, here; the job sees this snapshot.
struct SettingsChoice {
  enum class Base { PlatformFile, NamedFile, BuiltIn };
  Base base = Base::PlatformFile;
  std::string filePath;  // the named file, or the platform's file that was looked for
  std::map<std::string, ChosenValue, std::less<>> values;  // every name of kSettings
  // "FILE:LINE: NAME: not a setting; did you mean ...?" for each line of the
  // file whose name is none of the settings'.
  std::vector<std::string> unknownNames;
  // The [operation NAME] sections, in the order of the file, then those only
  // --operation names.
  std::vector<OperationSection> operations;

  [[nodiscard]] const ChosenValue& value(std::string_view name) const;
  // What the job reads: the chosen texts, "" for a name that has none.
  [[nodiscard]] SettingsSource source() const;
};

// Builds the choice from --settings, the --set arguments and the
// --operation NAME:KEY=VALUE ones; nullopt (with `error`) for a settings
// file that cannot be used (missing, not a regular file, too large, another
// section, a value an operation does not have) or an unknown or malformed
// --set or --operation.
std::optional<SettingsChoice> chooseSettings(const std::optional<std::string>& settingsFile,
                                             const std::vector<std::string>& assignments,
                                             std::string& error,
                                             const std::vector<std::string>& operationValues = {});

// The built-in value of a setting: kSettings' (those of examples/CNC.ini).
std::string builtInSetting(std::string_view name);

// The names of kSettings, "txtFeedZ, txtMaxZ, ..." for messages.
std::string settingNameList();

}  // namespace brevanto::cli
