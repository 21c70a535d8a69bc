#pragma once

#include <bit>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include "settings/setting_number.h"

namespace brevanto::test {

// A settings text with what the library's number reading makes of it, as one
// line that two builds' outputs can be compared by: "TEXT|BITS LENGTH RANGE",
// the double's bits in hexadecimal.
inline std::string numberLine(std::string_view text) {
  const SettingNumber number = readSettingNumber(text);
  char bits[20];
  const char* end =
      std::to_chars(bits, bits + sizeof bits, std::bit_cast<uint64_t>(number.value), 16).ptr;
  return std::string(text) + "|" + std::string(bits, static_cast<size_t>(end - bits)) + " " +
         std::to_string(number.length) + (number.outOfRange ? " 1" : " 0");
}

}  // namespace brevanto::test
