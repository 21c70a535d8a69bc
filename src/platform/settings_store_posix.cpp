#include "platform/settings_store.h"

namespace brevanto {

// Placeholder until the settings file reader lands.
std::string readPlatformSetting(std::string_view /*name*/) { return {}; }

}  // namespace brevanto
