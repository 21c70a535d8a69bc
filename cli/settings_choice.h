#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brevanto::cli {

// The settings the library reads, by name, in the order it loads them.
inline constexpr std::string_view kSettingNames[] = {"txtFeedZ", "txtMaxZ",    "txtDepth",
                                                     "txtSaveZ", "txtFeedCut", "txtWZNummer",
                                                     "txtWZDia", "Prezision"};

// Where the values of this run come from: single values given on the command
// line over a settings file (the one named, else the platform's own store),
// or, with no settings file anywhere, the values of examples/CNC.ini built in.
struct SettingsChoice {
  enum class Base { PlatformStore, NamedFile, BuiltIn };
  Base base = Base::PlatformStore;
  std::string filePath;  // the named file, or the platform's file that was looked for
  std::map<std::string, std::string, std::less<>> overrides;  // --set NAME=VALUE

  [[nodiscard]] std::string text(std::string_view name) const;
  [[nodiscard]] std::string origin(std::string_view name) const;
};

// Builds the choice from --settings and the --set arguments; nullopt (with
// `error`) for a file that cannot be read or an unknown or malformed --set.
std::optional<SettingsChoice> chooseSettings(const std::optional<std::string>& settingsFile,
                                             const std::vector<std::string>& assignments,
                                             std::string& error);

// Makes the library read its settings through `choice` for the rest of the
// process.
void installSettings(const SettingsChoice& choice);

// The built-in value of a setting (those of examples/CNC.ini).
std::string builtInSetting(std::string_view name);

}  // namespace brevanto::cli
