#pragma once

#include <cstddef>
#include <string_view>

namespace brevanto {

// What readSettingNumber found at the start of a setting's text.
struct SettingNumber {
  double value = 0.0;       // the number, rounded to the nearest double; 0 when none
  size_t length = 0;        // characters read, leading blanks included; 0: no number
  bool outOfRange = false;  // too large for a double, or too close to 0 to be held exactly
};

// Reads the number at the start of `text` the way the C library's strtod
// reads it in the "C" locale on glibc, on every platform and whatever the
// process's locale: blanks (" \t\n\v\f\r") skipped, an optional sign, then a
// decimal number with an optional exponent, a hexadecimal one ("0x1.8p3",
// "0x64"), "inf", "infinity", "nan" or "nan(chars)" in any case; the rest
// of the text is ignored. The value is correctly rounded (ties to even).
// `outOfRange` is set where glibc sets ERANGE: the value overflows to an
// infinity, or it is below the smallest normal double after rounding and not
// exact ("4e-320", "1e-400"); an infinity written as such is not out of
// range, and neither is a zero.
SettingNumber readSettingNumber(std::string_view text);

}  // namespace brevanto
