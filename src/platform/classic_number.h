#pragma once

namespace brevanto {

// The C library's strtod as it behaves in the classic "C" locale, whatever
// locale the process (or the host application around the library) has set:
// "." is the decimal point, and a decimal comma ends the number. Sets errno
// as strtod does (ERANGE on a range error).
double strtodClassic(const char* text, char** end);

}  // namespace brevanto
