#include "settings/setting_number.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brevanto {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kSmallestNormal = std::numeric_limits<double>::min();
// Exponents are read up to this size and no further: far beyond any double,
// and small enough that adding a text's length to one cannot overflow.
constexpr int64_t kExponentCap = int64_t{1} << 40;

bool isBlank(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

int hexValue(char c) {
  if (isDigit(c)) return c - '0';
  const int lower = c | 0x20;
  return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Whether `text` starts with `word` (lower case) in any mix of cases.
bool startsWithWord(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && std::equal(word.begin(), word.end(), text.begin(),
                                                  [](char w, char t) { return (t | 0x20) == w; });
}

// An exponent after its letter: an optional sign and at least one digit, or
// nothing of it counts and the number ends before the letter. Returns the
// characters read.
size_t readExponent(std::string_view text, size_t at, int64_t& exponent) {
  size_t i = at;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !isDigit(text[i])) return 0;
  int64_t value = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kExponentCap);
  }
  exponent = negative ? -value : value;
  return i - at;
}

// "(chars)" after "nan", chars being letters, digits and '_': its length, or
// 0 when the text does not go on so (then only "nan" is read).
size_t nanTailLength(std::string_view text) {
  if (text.empty() || text[0] != '(') return 0;
  size_t i = 1;
  while (i < text.size() &&
         (isDigit(text[i]) || ((text[i] | 0x20) >= 'a' && (text[i] | 0x20) <= 'z') ||
          text[i] == '_')) {
    ++i;
  }
  return i < text.size() && text[i] == ')' ? i + 1 : 0;
}

// An exact decimal: its significant digits (no leading or trailing zeros;
// none for 0) times 10^scale.
struct Decimal {
  std::string digits;
  int64_t scale = 0;
  // The power of ten of the first digit.
  int64_t lead() const { return scale + static_cast<int64_t>(digits.size()) - 1; }
};

void dropTrailingZeros(Decimal& d) {
  const size_t last = d.digits.find_last_not_of('0');
  const size_t kept = last == std::string::npos ? 0 : last + 1;
  d.scale += static_cast<int64_t>(d.digits.size() - kept);
  d.digits.resize(kept);
}

// m * 2^-n exactly: the digits of m * 5^n, times 10^-n.
Decimal exactBinary(uint64_t m, int n) {
  constexpr uint64_t kLimb = 1000000000;  // base of the limbs, lowest first
  std::vector<uint64_t> limbs;
  for (; m != 0; m /= kLimb) limbs.push_back(m % kLimb);
  for (int left = n; left > 0; left -= 13) {
    uint64_t factor = 1;
    for (int i = 0; i < std::min(left, 13); ++i) factor *= 5;
    uint64_t carry = 0;
    for (uint64_t& limb : limbs) {
      const uint64_t product = limb * factor + carry;
      limb = product % kLimb;
      carry = product / kLimb;
    }
    for (; carry != 0; carry /= kLimb) limbs.push_back(carry % kLimb);
  }
  Decimal d;
  d.scale = -n;
  for (auto limb = limbs.rbegin(); limb != limbs.rend(); ++limb) {
    const std::string part = std::to_string(*limb);
    if (!d.digits.empty()) d.digits.append(9 - part.size(), '0');
    d.digits += part;
  }
  dropTrailingZeros(d);
  return d;
}

// Sign of a - b for two non-zero exact decimals.
int compare(const Decimal& a, const Decimal& b) {
  if (a.lead() != b.lead()) return a.lead() < b.lead() ? -1 : 1;
  return a.digits.compare(b.digits);
}

// `mantissa` (top bit set) with `sticky` standing for non-zero bits below it,
// rounded to its first `keep` bits, ties to even. May carry to 2^keep.
uint64_t roundToBits(uint64_t mantissa, bool sticky, int keep, bool& inexact) {
  inexact = true;
  if (keep < 0) return 0;
  if (keep == 0) return mantissa > (uint64_t{1} << 63) || sticky ? 1 : 0;
  const int drop = 64 - keep;
  const uint64_t kept = mantissa >> drop;
  const uint64_t rest = mantissa & ((uint64_t{1} << drop) - 1);
  const uint64_t half = uint64_t{1} << (drop - 1);
  inexact = rest != 0 || sticky;
  return kept + (rest > half || (rest == half && (sticky || (kept & 1) != 0)) ? 1 : 0);
}

// n (at most 2^53) as a double, through two exact 32-bit conversions: on
// 32-bit x86 a 64-bit integer is converted by the x87 unit, which the builds
// keep out of the library.
double exactDouble(uint64_t n) {
  return static_cast<double>(static_cast<int32_t>(n >> 26)) * 67108864.0 +
         static_cast<double>(static_cast<int32_t>(n & 0x3FFFFFF));
}

// mantissa * 2^exponent, plus less than one unit when `sticky`, rounded to
// the nearest double; the range error as for roundDecimal.
SettingNumber roundBinary(uint64_t mantissa, int64_t exponent, bool sticky) {
  if (mantissa == 0) return {};
  const int shift = std::countl_zero(mantissa);
  mantissa <<= shift;
  const int64_t lead = exponent - shift + 63;  // the power of two of the top bit
  if (lead > 1024) return {kInfinity, 0, true};
  if (lead < -1100) return {0.0, 0, true};
  const int keep = lead >= -1022 ? 53 : static_cast<int>(lead + 1075);
  // Below 2^-1022 glibc (2.36) rounds as if the bit just after the first 53
  // were 0: it decides both the value and the range error without it, and so
  // must this reading to give the same answers.
  const uint64_t rounded = keep < 53 ? mantissa & ~(uint64_t{1} << 10) : mantissa;
  bool inexact = false;
  const uint64_t kept = roundToBits(rounded, sticky, keep, inexact);
  const double value = std::ldexp(exactDouble(kept), static_cast<int>(lead - keep + 1));
  bool tiny = lead < -1022;
  if (lead == -1023) {
    bool ignored = false;
    tiny = roundToBits(mantissa, sticky, 53, ignored) != uint64_t{1} << 53;
  }
  return {value, 0, std::isinf(value) || (tiny && inexact)};
}

// Where glibc's rounding below 2^-1022 parts from the exact one (see
// roundBinary), x is 54 bits long ending in a 1. glibc reads a decimal to
// its 1076th place after the point and takes any later digit as a non-zero
// rest, so only such an x with its top bit at 2^-1023 is hit: an odd
// multiple of 2^-1076, within half a step u = 2^-1074 of the nearest double
// m * u, so k * 2^-1075 + 2^-1076 with k = 2m or 2m - 1. Returns that x as
// (its 54 bits, their exponent) when it is one of them.
std::optional<std::pair<uint64_t, int64_t>> oddBinaryNear(const Decimal& x, uint64_t m) {
  if (m == 0 || m > (uint64_t{1} << 52)) return std::nullopt;
  for (const uint64_t k : {2 * m, 2 * m - 1}) {
    if (std::bit_width(k) != 53) continue;
    const uint64_t bits = 2 * k + 1;
    if (compare(x, exactBinary(bits, 1076)) == 0) return std::pair{bits, int64_t{-1076}};
  }
  return std::nullopt;
}

// A non-zero decimal rounded to the nearest double, and whether glibc calls
// that a range error. Below the smallest normal double it is one when the
// result is not exact, "below" being judged after rounding to 53 bits with
// an unbounded exponent: everything from 2^-1022 - 2^-1076 up rounds to
// 2^-1022 and counts as normal.
SettingNumber roundDecimal(const Decimal& x) {
  if (x.lead() > 400) return {kInfinity, 0, true};
  if (x.lead() < -400) return {0.0, 0, true};
  const std::string text = x.digits + "e" + std::to_string(x.scale);
  double value = 0.0;
  if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
    value = x.lead() > 0 ? kInfinity : 0.0;  // out of range: the value was not stored
  }
  if (std::isinf(value) || value == 0.0) return {value, 0, true};
  if (value > kSmallestNormal) return {value, 0, false};
  if (const auto odd = oddBinaryNear(x, std::bit_cast<uint64_t>(value))) {
    return roundBinary(odd->first, odd->second, false);  // as glibc rounds it, see there
  }
  if (value == kSmallestNormal) {
    return {value, 0, compare(x, exactBinary((uint64_t{1} << 54) - 1, 1076)) < 0};
  }
  // A subnormal's bits are its multiple of 2^-1074.
  return {value, 0, compare(x, exactBinary(std::bit_cast<uint64_t>(value), 1074)) != 0};
}

// Hexadecimal digits with at most one '.' and then an optional binary
// exponent "p[sign]digits", from `at` (just after "0x"). Returns the end of
// the number, or 0 when there is no digit.
size_t readHex(std::string_view text, size_t at, SettingNumber& number) {
  uint64_t mantissa = 0;
  int64_t exponent = 0;
  bool sticky = false, point = false, any = false;
  size_t i = at;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && !point) {
      point = true;
      continue;
    }
    const int digit = hexValue(text[i]);
    if (digit < 0) break;
    any = true;
    if (mantissa >> 60 == 0 && (mantissa != 0 || digit != 0)) {
      mantissa = mantissa * 16 + static_cast<uint64_t>(digit);
      if (point) exponent -= 4;
    } else if (mantissa == 0) {
      if (point) exponent -= 4;  // a leading zero
    } else {
      sticky = sticky || digit != 0;  // beyond the 57 bits that decide the rounding
      if (!point) exponent += 4;
    }
  }
  if (!any) return 0;
  int64_t power = 0;
  if (i < text.size() && (text[i] | 0x20) == 'p') {
    if (const size_t length = readExponent(text, i + 1, power)) i += 1 + length;
  }
  number = roundBinary(mantissa, exponent + power, sticky);
  return i;
}

// Decimal digits with at most one '.' and then an optional exponent
// "e[sign]digits". Returns the end of the number, or 0 when there is no digit.
size_t readDecimal(std::string_view text, size_t at, SettingNumber& number) {
  Decimal x;
  bool point = false, any = false;
  size_t i = at;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && !point) {
      point = true;
      continue;
    }
    if (!isDigit(text[i])) break;
    any = true;
    if (point) --x.scale;
    if (x.digits.empty() && text[i] == '0') continue;  // a leading zero
    x.digits += text[i];
  }
  if (!any) return 0;
  int64_t power = 0;
  if (i < text.size() && (text[i] | 0x20) == 'e') {
    if (const size_t length = readExponent(text, i + 1, power)) i += 1 + length;
  }
  x.scale += power;
  dropTrailingZeros(x);
  number = x.digits.empty() ? SettingNumber{} : roundDecimal(x);
  return i;
}

}  // namespace

SettingNumber readSettingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::string_view rest = text.substr(i);

  SettingNumber number;
  size_t end = 0;
  if (startsWithWord(rest, "inf")) {
    number.value = kInfinity;
    end = i + (startsWithWord(rest, "infinity") ? 8 : 3);
  } else if (startsWithWord(rest, "nan")) {
    number.value = std::numeric_limits<double>::quiet_NaN();
    end = i + 3 + nanTailLength(rest.substr(3));
  } else if (rest.size() > 1 && rest[0] == '0' && (rest[1] | 0x20) == 'x') {
    end = readHex(text, i + 2, number);
  }
  // A "0x" without hexadecimal digits after it is the number 0.
  if (end == 0) end = readDecimal(text, i, number);
  if (end == 0) return {};
  number.length = end;
  if (negative) number.value = -number.value;
  return number;
}

}  // namespace brevanto
