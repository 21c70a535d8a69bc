#pragma once

#include <string>
#include <string_view>

#include "brevanto/host.h"

namespace brevanto {

// The platform's own store, one value: the registry on Windows, the settings
// file elsewhere. platformSettings() (brevanto/host.h) hands it out as a
// SettingsSource.
std::string readPlatformSetting(std::string_view name);

}  // namespace brevanto
