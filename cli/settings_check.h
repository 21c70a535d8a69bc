#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings_choice.h"

namespace brevanto::cli {

// Checks every chosen value by its name before the job runs, more strictly
// than the library reads them (it takes the number a text starts with, so
// "0,5" is 0 and "2mm" is 2): each must be a plain decimal number in the
// range that makes sense for it. The first refusal, as a message that names
// the setting, its value, where it came from and the fix; nullopt when all
// are fine.
std::optional<std::string> checkSettings(const SettingsChoice& choice);

// What checkSettings lets the setting hold, in words ("more than 0 and at
// most 100000").
std::string_view settingRange(std::string_view name);

}  // namespace brevanto::cli
