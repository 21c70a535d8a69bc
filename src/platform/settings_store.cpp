#include "platform/settings_store.h"

#include <utility>

namespace brevanto {
namespace {
SettingsSource& installedSource() {
  static SettingsSource source;
  return source;
}
}  // namespace

void setSettingsSource(SettingsSource source) {
  installedSource() = std::move(source);
}

std::string readSettingText(std::string_view name) {
  const SettingsSource& source = installedSource();
  std::string text = source ? source(name) : readPlatformSetting(name);
  // Settings are C strings in every store: nothing after a NUL byte counts.
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace brevanto
