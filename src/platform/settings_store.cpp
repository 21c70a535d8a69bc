#include "platform/settings_store.h"

namespace brevanto {

SettingsSource platformSettings() {
  return [](std::string_view name) { return readPlatformSetting(name); };
}

}  // namespace brevanto
