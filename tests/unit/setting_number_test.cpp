#include "settings/setting_number.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#if defined(__GLIBC__)
#include <locale.h>
#endif

namespace brevanto {
namespace {

#if defined(__GLIBC__)
// The reading must equal glibc's strtod in the "C" locale: characters read,
// value (bit for bit; any NaN with its sign) and ERANGE.
::testing::AssertionResult readsAsGlibc(const std::string& text) {
  static const locale_t classic = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  char* end = nullptr;
  errno = 0;
  const double expected = strtod_l(text.c_str(), &end, classic);
  const bool range = errno == ERANGE;
  const auto length = static_cast<size_t>(end - text.c_str());
  const SettingNumber got = readSettingNumber(text);
  const bool sameValue =
      std::isnan(expected)
          ? std::isnan(got.value) && std::signbit(got.value) == std::signbit(expected)
          : std::memcmp(&expected, &got.value, sizeof expected) == 0;
  if (sameValue && got.length == length && got.outOfRange == range) {
    return ::testing::AssertionSuccess();
  }
  char values[96];
  std::snprintf(values, sizeof values, "glibc %a, read %a", expected, got.value);
  return ::testing::AssertionFailure()
         << "[" << text << "]: " << values << "; length " << length << " / " << got.length
         << "; range error " << range << " / " << got.outOfRange;
}

TEST(SettingNumber, TableAsGlibcReadsIt) {
  const char* const texts[] = {
      // plain, blanks, signs, trailing text, nothing
      "100", " \t\n\v\f\r5", "+5", "-.5e-3x", "2,5", "5.", ".5", "", " ", ".", "+", "-", "+-5",
      "- 5", "1e", "1e+", "1e-x", "0.e5", ".e5",
      "\xc2\xa0"
      "5",
      "abc",
      // hexadecimal, with and without digits after "0x"
      "0x64", "0X1P3", "0x1.965p+1", "0x1e3", "0x1p", "0x1.", "0x.8", "-0x.8p1x", "0x", "0x.",
      "0x.p1", "0x0.p1", "0xg", "0x0000000000000000000000001p0", "0x123456789abcdef123456789p-100",
      // nan and inf texts
      "nan", "-NaN", "nan(abc_12)", "nan()", "nan(", "nan(a-b)", "inf", "-Infinity", "infinit",
      "infinityx",
      // the range: overflow, underflow to subnormals and to 0, huge exponents
      "1e999", "-1e999", "1e39", "1e-40", "4e-320", "-4e-320", "1e-400", "1.7976931348623157e308",
      "1.7976931348623158e308", "1.7976931348623159e308", "4.9406564584124654e-324",
      "2.4703282292062327e-324", "2.4703282292062328e-324", "2.2250738585072011e-308",
      "2.2250738585072012e-308", "2.2250738585072014e-308", "0x1p-1074", "0x1p-1075",
      "0x1.0000001p-1075", "0x3p-1076", "0x1.fffffffffffffp-1023", "0x1.fffffffffffff8p-1023",
      "0x1.fffffffffffff7p-1023", "0x20000000000003p-1076", "0x20000000000001p-1076",
      "0e99999999999999999999", "1e-99999999999999999999", "0x0p999999999", "0x1p99999999999",
      // long digit strings, ties and just beside them
      "00000000000000000000000001e-5", "1.00000000000000011102230246251565404236316680908203125",
      "1.00000000000000011102230246251565404236316680908203124",
      "1.00000000000000011102230246251565404236316680908203126", "0x1.00000000000008p0",
      "0x1.000000000000080000000000001p0"};
  for (const char* text : texts) EXPECT_TRUE(readsAsGlibc(text));
  // 254 digits, the longest value a store holds
  EXPECT_TRUE(readsAsGlibc("0." + std::string(250, '9') + "e-3"));
}

// Generated texts: pieces of number syntax in any order, printed doubles
// from 1e-330 to 1e308, decimal (up to 760 digits, exact subnormals
// included) and hexadecimal (up to 48 digits), and exact 54-bit values.
TEST(SettingNumber, GeneratedTextsAsGlibcReadsThem) {
  const char* const pieces[] = {"0",   "1",    "5",      "9",     "0x",    "0X",  ".",   "e",
                                "E",   "p",    "+",      "-",     " ",     "\t",  "a",   "f",
                                "x",   "nan",  "inf",    "(",     ")",     "_",   "999", "0000",
                                "e-3", "e+30", "p-1074", "e-308", "e-324", "e308"};
  std::mt19937_64 random(23);
  int failures = 0;
  for (int i = 0; i < 100000 && failures < 10; ++i) {
    std::string text;
    for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
      text += pieces[random() % std::size(pieces)];
    }
    const double value =
        std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 1150)) +
        std::ldexp(static_cast<double>(random() % 3), -1074);
    char printed[1200];
    const int digits = static_cast<int>(random() % 760);
    if (random() % 2 == 0) {
      std::snprintf(printed, sizeof printed, "%.*e", digits, value);
    } else {
      std::snprintf(printed, sizeof printed, "0x%llx%llxp%d",
                    static_cast<unsigned long long>(random()),
                    static_cast<unsigned long long>(random() >> (random() % 64)),
                    -static_cast<int>(random() % 1250));
    }
    // A value of 54 bits just below 2^-1022, written out exactly (a long
    // double holds it): where glibc rounds apart from the exact answer.
    char odd[1200];
    const long double oddValue =
        std::ldexp(static_cast<long double>((random() >> 11) | (uint64_t{1} << 53) | 1),
                   -1076 - static_cast<int>(random() % 3));
    std::snprintf(odd, sizeof odd, random() % 2 == 0 ? "%.800Le" : "%La", oddValue);
    for (const std::string& t : {text, std::string(printed), std::string(odd)}) {
      if (!readsAsGlibc(t)) {
        ADD_FAILURE() << readsAsGlibc(t).message();
        ++failures;
      }
    }
  }
}
#else
TEST(SettingNumber, TableAsGlibcReadsIt) {
  GTEST_SKIP() << "glibc, the reference, is not this platform's C library";
}
#endif

}  // namespace
}  // namespace brevanto
