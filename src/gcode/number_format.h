#pragma once

#include <cstdint>
#include <string>

namespace brevanto {

// Number texts of the program. Never an exponent, a plus sign or grouping,
// and the same digits whatever locale the process (or its host) runs in.

// Fixed-point text with exactly 4 decimals, rounded to nearest: 12.5 ->
// "12.5000", -0.00001 -> "-0.0000".
std::string formatFixed4(double value);

// The 32-bit value widened to 64 bits, with `decimals` decimals (a negative
// count means 6, as in the standard streams): 3.175F, 4 -> "3.1750".
std::string formatFixed(float value, int32_t decimals);

// Plain decimal: 10 -> "10", -4 -> "-4".
std::string formatInt(int32_t value);

// The number formatFixed4(value) writes, as a reader of the text gets it back:
// the value rounded to four decimals (the value itself where it is too large
// for the integer path or not finite).
double fixed4Value(double value);

// The same texts appended to `out`, for composing a line without a string
// per number.
void appendFixed4(std::string& out, double value);

// appendFixed4, and the number as a reader gets it back (fixed4Value) in
// `written`, from one exact scaling. (Given back through a reference: a
// double returned on 32-bit x86 passes through the x87 unit.)
void appendFixed4Value(std::string& out, double value, double& written);
void appendInt(std::string& out, int32_t value);

}  // namespace brevanto
