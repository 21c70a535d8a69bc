#include "gcode/number_format.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace brevanto {
namespace {

// Enough for the integer digits of the largest double, a sign and a point.
constexpr int kIntegerRoom = std::numeric_limits<double>::max_exponent10 + 3;
// A double has at most 1074 significant decimals; more digits are all zeros.
constexpr int kMostDecimals = 1100;

// std::to_chars is locale-independent and exactly rounded, which gives the
// digits of the C locale's printf("%.*f") on every platform and compiler.
// The text is composed on the stack: only the result is kept.
void appendFixedText(std::string& out, double value, int decimals) {
  if (decimals < 0) decimals = 6;
  if (decimals > kMostDecimals) decimals = kMostDecimals;
  char text[kIntegerRoom + kMostDecimals];
  const auto result =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  out.append(text, result.ptr);
}

// value × 10^4 rounded to the nearest integer, ties to even, computed exactly
// in integers: a finite double is m × 2^e with an integer m below 2^53, and
// 10^4 = 625 × 2^4, so m × 625 (below 2^63) shifted by e + 4 is the exact
// product. The bits shifted out decide the rounding. False when |value| is
// 2^50 or more (the product may not fit in 64 bits) or not finite.
bool scaledByTenThousand(double value, uint64_t& scaled) {
  constexpr int kMantissaBits = 52;
  constexpr int kBias = 1023;
  const auto bits = std::bit_cast<uint64_t>(value);
  const auto biased = static_cast<int>((bits >> kMantissaBits) & 0x7FF);
  if (biased >= kBias + 50) return false;  // also infinities and NaN
  uint64_t mantissa = bits & ((uint64_t{1} << kMantissaBits) - 1);
  int exponent = 1 - kBias - kMantissaBits;  // subnormal: no hidden bit
  if (biased != 0) {
    mantissa |= uint64_t{1} << kMantissaBits;
    exponent = biased - kBias - kMantissaBits;
  }
  const uint64_t product = mantissa * 625;
  const int shift = exponent + 4;
  if (shift >= 0) {  // below 2^50 × 10^4 < 2^64: fits
    scaled = product << shift;
    return true;
  }
  const int dropped = -shift;
  if (dropped >= 64) {  // product < 2^63: the value is below one half
    scaled = 0;
    return true;
  }
  scaled = product >> dropped;
  const uint64_t rest = product & ((uint64_t{1} << dropped) - 1);
  const uint64_t half = uint64_t{1} << (dropped - 1);
  if (rest > half || (rest == half && (scaled & 1) != 0)) ++scaled;
  return true;
}

}  // namespace

namespace {

// The double nearest `scaled` / 10^4, with the sign of `value`. Both
// integers are exact doubles, and one correctly rounded division gives the
// double nearest the decimal text, as reading the text does. Made from
// 32-bit pieces: a 64-bit conversion would use the x87 unit on 32-bit x86.
// Each piece and each sum is exact below 2^53.
double fromScaled(uint64_t scaled, double value) {
  const auto high = static_cast<int32_t>(scaled >> 32);
  const auto middle = static_cast<int32_t>((scaled >> 16) & 0xFFFF);
  const auto low = static_cast<int32_t>(scaled & 0xFFFF);
  const double whole =
      (static_cast<double>(high) * 4294967296.0 + static_cast<double>(middle) * 65536.0) +
      static_cast<double>(low);
  const double magnitude = whole / 10000.0;
  return std::signbit(value) ? -magnitude : magnitude;
}

// Beyond 2^53 the scaled integer is no longer an exact double; such values
// (above 9·10^11) are their own nearest text anyway.
double valueOfScaled(bool scaledOk, uint64_t scaled, double value) {
  return !scaledOk || scaled > (uint64_t{1} << 53) ? value : fromScaled(scaled, value);
}

// The digits of a value scaledByTenThousand took.
void appendScaled(std::string& out, uint64_t scaled, double value) {
  char text[32];
  char* end = text;
  if (std::signbit(value)) *end++ = '-';  // also -0.0 and what rounds to zero
  end = std::to_chars(end, text + sizeof text, scaled / 10000).ptr;
  auto fraction = static_cast<uint32_t>(scaled % 10000);
  end[0] = '.';
  for (int i = 4; i > 0; --i) {
    end[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  out.append(text, end + 5);
}

}  // namespace

// The same digits as std::to_chars(fixed, 4), without its general
// arbitrary-precision path for the values a program is made of.
void appendFixed4(std::string& out, double value) {
  uint64_t scaled = 0;
  if (!scaledByTenThousand(value, scaled)) {
    appendFixedText(out, value, 4);
    return;
  }
  appendScaled(out, scaled, value);
}

double fixed4Value(double value) {
  uint64_t scaled = 0;
  const bool ok = scaledByTenThousand(value, scaled);
  return valueOfScaled(ok, scaled, value);
}

void appendFixed4Value(std::string& out, double value, double& written) {
  uint64_t scaled = 0;
  const bool ok = scaledByTenThousand(value, scaled);
  if (ok) {
    appendScaled(out, scaled, value);
  } else {
    appendFixedText(out, value, 4);
  }
  written = valueOfScaled(ok, scaled, value);
}

void appendInt(std::string& out, int32_t value) {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

std::string formatFixed4(double value) {
  std::string text;
  appendFixed4(text, value);
  return text;
}

std::string formatFixed(float value, int32_t decimals) {
  std::string text;
  if (decimals == 4) {
    appendFixed4(text, static_cast<double>(value));
  } else {
    appendFixedText(text, static_cast<double>(value), decimals);
  }
  return text;
}

std::string formatInt(int32_t value) {
  std::string text;
  appendInt(text, value);
  return text;
}

}  // namespace brevanto
