// formatFixed4 takes a short path of its own for ordinary magnitudes; its
// digits must be those of std::to_chars(fixed, 4) for every double.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "gcode/gcode_writer.h"

namespace brevanto {
namespace {

#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr int kRandomPerMagnitude = 10'000;  // the checked builds are many times slower
#else
constexpr int kRandomPerMagnitude = 100'000;
#endif

std::string referenceText(double value) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 4);
  return std::string(text, result.ptr);
}

// Counts and reports the first few mismatches rather than flooding the log.
class Comparison {
 public:
  void check(double value) {
    const std::string expected = referenceText(value);
    const std::string actual = formatFixed4(value);
    if (actual == expected) return;
    if (++mismatches_ <= 10) {
      ADD_FAILURE() << "value " << std::hexfloat << value << ": formatFixed4 gives " << actual
                    << ", to_chars " << expected;
    }
  }
  void checkWithNeighbours(double value) {
    for (const double v :
         {value, std::nextafter(value, -INFINITY), std::nextafter(value, INFINITY)}) {
      check(v);
      check(-v);
    }
  }
  int mismatches() const { return mismatches_; }

 private:
  int mismatches_ = 0;
};

TEST(FormatFixed4Exactness, HandPickedTiesNearTiesAndSpecialValues) {
  const double denormMin = std::numeric_limits<double>::denorm_min();
  const double cases[] = {0.0,
                          0.00005,
                          0.00015,
                          0.00025,
                          0.03125,
                          0.09375,
                          1.00005,
                          2.5e-5,
                          7.5e-5,
                          0.5,
                          12.34565,
                          1.5,
                          2.5,
                          1e-300,
                          denormMin,
                          std::numeric_limits<double>::min(),
                          1e9,
                          1e9 + 0.00005,
                          999999999.99995,
                          1e15,
                          1125899906842624.0 /* 2^50 */,
                          1125899906842623.75,
                          1e20,
                          1e300,
                          std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::infinity(),
                          std::numeric_limits<double>::quiet_NaN(),
                          4503599627370495.5 /* 2^52 - 0.5 */};
  Comparison comparison;
  for (const double value : cases) comparison.checkWithNeighbours(value);
  EXPECT_EQ(comparison.mismatches(), 0);
  EXPECT_EQ(formatFixed4(-0.0), "-0.0000");
  EXPECT_EQ(formatFixed4(-1e-9), "-0.0000");
  EXPECT_EQ(formatFixed4(0.03125), "0.0312");  // an exact half: ties to even
  EXPECT_EQ(formatFixed4(0.09375), "0.0938");
  EXPECT_EQ(formatFixed4(0.00005), "0.0001");  // just above the half in binary
}

// Exact halves k / 2^j at the fifth decimal and the doubles next to the
// decimal halves n.nnnn5, over many magnitudes.
TEST(FormatFixed4Exactness, EveryHalfwayCaseAndItsNeighbours) {
  std::mt19937_64 random(20261208);
  Comparison comparison;
  for (int magnitude = -4; magnitude <= 15; ++magnitude) {
    const double top = std::pow(10.0, magnitude);
    std::uniform_real_distribution<double> pick(0.0, top);
    for (int i = 0; i < kRandomPerMagnitude / 10; ++i) {
      const double halfway = (std::floor(pick(random) * 10000.0) + 0.5) / 10000.0;
      comparison.checkWithNeighbours(halfway);
    }
  }
  // Odd multiples of 1/32 are exact ties of the fourth decimal.
  for (int k = 1; k < 20000; k += 2) comparison.checkWithNeighbours(k / 32.0);
  EXPECT_EQ(comparison.mismatches(), 0);
}

TEST(FormatFixed4Exactness, RandomValuesOfEveryMagnitudeAndBitPattern) {
  std::mt19937_64 random(8122026);
  Comparison comparison;
  for (int magnitude = -8; magnitude <= 17; ++magnitude) {
    const double top = std::pow(10.0, magnitude);
    std::uniform_real_distribution<double> pick(-top, top);
    for (int i = 0; i < kRandomPerMagnitude; ++i) comparison.check(pick(random));
  }
  // Arbitrary bit patterns: every exponent, subnormals, infinities and NaNs.
  for (int i = 0; i < kRandomPerMagnitude; ++i) {
    comparison.check(std::bit_cast<double>(random()));
  }
  EXPECT_EQ(comparison.mismatches(), 0);
}

}  // namespace
}  // namespace brevanto
