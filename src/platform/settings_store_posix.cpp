#include "platform/settings_file.h"
#include "platform/settings_store.h"

namespace brevanto {

// Without a registry the settings live in a file of name=value lines.
std::string readPlatformSetting(std::string_view name) {
  return readSettingsFileValue(defaultSettingsFilePath(), name);
}

}  // namespace brevanto
