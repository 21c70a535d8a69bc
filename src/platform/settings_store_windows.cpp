#include <windows.h>

#include <cstring>

#include "platform/settings_store.h"

namespace brevanto {
namespace {

// Where a VBA macro's SaveSetting("Brevanto", "CNC", ...) stores its values.
constexpr const char* kSettingsKey = "Software\\VB and VBA Program Settings\\Brevanto\\CNC";

// The longest usable text is 254 characters and its NUL.
constexpr DWORD kValueBufferSize = 255;

}  // namespace

// The key is opened anew for every value, so a change the user saves between
// two reads is seen by the next one. Whatever the value's registry type, its
// bytes are taken as text. A missing key or value, or one too long for the
// buffer, reads as "".
std::string readPlatformSetting(std::string_view name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  char buffer[kValueBufferSize] = {};
  DWORD size = kValueBufferSize;
  const std::string valueName(name);
  const LONG status = RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};  // ERROR_MORE_DATA: too long for the buffer
  // Binary data need not end in NUL: never read past what was filled.
  const void* nul = std::memchr(buffer, '\0', size);
  return std::string(buffer, nul != nullptr ? static_cast<const char*>(nul) - buffer : size);
}

}  // namespace brevanto
