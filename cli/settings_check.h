#pragma once

#include <optional>
#include <string>

#include "settings_choice.h"

namespace brevanto::cli {

// Checks every chosen value with the settings table's strict reading before
// the job runs, more strictly than the library reads them (it takes the number
// a text starts with, so "0,5" is 0 and "2mm" is 2): each must be a plain
// decimal number in the range that makes sense for it, or one of its choices.
// The first refusal, as a message that names the setting, its value, where it
// came from and the fix; nullopt when all are fine.
std::optional<std::string> checkSettings(const SettingsChoice& choice);

// The settings in effect as a settings file the command reads back as it is:
// each value on a NAME=VALUE line, after a comment saying what it means and
// where it came from.
std::string settingsFileText(const SettingsChoice& choice);

}  // namespace brevanto::cli
