#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace brevanto {

// The text of one named setting, up to its first NUL byte; "" when the
// setting is missing. Read anew on every call.
std::string readSettingText(std::string_view name);

// Lets a host (the command-line tool, the tests) supply the settings instead
// of the platform's store. An empty function restores the platform's store.
using SettingsSource = std::function<std::string(std::string_view name)>;
void setSettingsSource(SettingsSource source);

// The platform's own store: the registry on Windows, a settings file elsewhere.
std::string readPlatformSetting(std::string_view name);

}  // namespace brevanto
