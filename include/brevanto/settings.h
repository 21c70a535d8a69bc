// The settings of a job: one table of every setting (name, type, unit,
// built-in value, range, choices, meaning), the typed value a job runs with,
// and one reader of a settings store in two strictnesses.
//
// sp() reads its store as the macro's dialog has always been read: the number
// a text starts with, unknown choices refused. The brevanto command reads the
// same table strictly (a plain decimal number within the setting's range) and
// hands the job the typed value, so nothing is parsed twice.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "brevanto/setting_rows.h"
#include "brevanto/setting_types.h"

namespace brevanto {

// A settings store: the text of the named setting, "" when it is missing.
// A job asks it for each setting of kSettings exactly once.
using SettingsSource = std::function<std::string(std::string_view name)>;

// The row of `name`, nullptr for a name that is not a setting.
const SettingInfo* findSetting(std::string_view name);

// The setting whose name is nearest `name` by edit distance, when it is near
// enough to be a slip (a letter or two); nullptr otherwise.
const SettingInfo* nearestSetting(std::string_view name);

// How strictly a store's texts are read.
enum class SettingsReading {
  // sp's reading: the number a text starts with ("2mm" is 2, "0,5" is 0), a
  // machining value that does not start with a number refused, the precision
  // never refused.
  Macro,
  // The command's: every value a plain decimal number within its range, or
  // one of its choices, before the job runs.
  Strict,
};

// What reading a store gave: the typed settings, or the first setting
// refused and why.
struct SettingsRead {
  JobSettings settings{};
  std::string refusedName;  // "" when all were accepted
  std::string error;        // the message, naming the setting
  [[nodiscard]] bool ok() const { return refusedName.empty(); }
};

SettingsRead readSettings(const SettingsSource& source, SettingsReading reading);

// Why `text` is not a value the strict reading accepts for `setting`, with
// the fix where one is certain ("use a decimal point, not a comma:
// txtDepth=0.5"); "" when it is accepted. An empty text is refused unless the
// setting may be empty.
std::string strictSettingFault(const SettingInfo& setting, std::string_view text);

// The text of a choice's value, for messages and --show-settings.
std::string_view dialectName(Dialect dialect);

// The usual file name ending of a program for the dialect: what the
// controllers' own file dialogs look for (".tap", ".ngc", ".nc").
std::string_view programFileEnding(Dialect dialect);

// A double as the shortest decimal text that reads back as the same value
// ("0.01171875"), for messages that must not lose digits.
std::string exactText(double value);

}  // namespace brevanto
