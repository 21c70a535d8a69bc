#include "number_lists.h"

#include <cctype>

namespace brevanto::cli {
namespace {

bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Length of the number at the start of s (sign, digits, fraction, exponent),
// 0 when none starts there.
size_t numberLength(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && isDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    size_t j = i + 1;
    size_t fraction = 0;
    while (j < s.size() && isDigit(s[j])) ++j, ++fraction;
    if (fraction > 0 || digits > 0) {
      i = j;
      digits += fraction;
    }
  }
  if (digits == 0) return 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && isDigit(s[j])) {
      while (j < s.size() && isDigit(s[j])) ++j;
      i = j;
    }
  }
  return i;
}

}  // namespace

std::string separateNumbers(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  bool afterNumber = false;
  size_t i = 0;
  while (i < text.size()) {
    // A number directly after a number, not inside a name such as "matrix".
    const bool canStart =
        i == 0 || afterNumber || !std::isalpha(static_cast<unsigned char>(text[i - 1]));
    const size_t n = canStart ? numberLength(text.substr(i)) : 0;
    if (n > 0) {
      if (afterNumber) out += ' ';
      out.append(text.substr(i, n));
      i += n;
      afterNumber = true;
    } else {
      out += text[i++];
      afterNumber = false;
    }
  }
  return out;
}

}  // namespace brevanto::cli
