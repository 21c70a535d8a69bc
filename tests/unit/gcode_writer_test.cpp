#include "gcode/gcode_writer.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>

#include "support/temp_dir.h"

namespace brevanto {
namespace {

TEST(FormatFixed4, FixedPointWithExactlyFourDecimals) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {12.5, "12.5000"},
      {-1.5, "-1.5000"},
      {12.34567, "12.3457"},
      {-0.00001, "-0.0000"},  // the sign survives rounding to zero
      {-0.0, "-0.0000"},
      {0.0, "0.0000"},
      {0.00005, "0.0001"},
      {1500000.0, "1500000.0000"},  // never an exponent
      {1e20, "100000000000000000000.0000"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFixed4(c.value), c.text) << c.value;
}

TEST(FormatFixed, WidensTheSinglePrecisionValueFirst) {
  EXPECT_EQ(formatFixed(600.0F, 4), "600.0000");
  EXPECT_EQ(formatFixed(150.0F, 1), "150.0");
  EXPECT_EQ(formatFixed(3.175F, 4), "3.1750");  // 3.17499995... rounds up at the 4th decimal
  EXPECT_EQ(formatFixed(-0.3F, 4), "-0.3000");
  EXPECT_EQ(formatFixed(0.1F, 4), "0.1000");
  EXPECT_EQ(formatFixed(0.1F, 9), "0.100000001");
  EXPECT_EQ(formatFixed(2.5F, 0), "2");
  EXPECT_EQ(formatFixed(1.5F, -1), "1.500000");  // a negative count means 6, as in a stream
}

TEST(FormatInt, PlainDecimal) {
  EXPECT_EQ(formatInt(10), "10");
  EXPECT_EQ(formatInt(0), "0");
  EXPECT_EQ(formatInt(-4), "-4");
  EXPECT_EQ(formatInt(INT32_MIN), "-2147483648");
}

// A locale with a decimal comma and digit grouping must not leak into the
// program: the machine reads "." only.
TEST(FormatFixed, IgnoresTheProcessLocale) {
  std::locale german;
  try {
    german = std::locale("de_DE.UTF-8");
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "locale de_DE.UTF-8 is not installed";
  }
  const std::locale previous = std::locale::global(german);
  std::setlocale(LC_ALL, "de_DE.UTF-8");
  const std::string fixed4 = formatFixed4(1234567.25);
  const std::string fixed = formatFixed(3.175F, 4);
  const std::string integer = formatInt(1234567);
  std::locale::global(previous);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(fixed4, "1234567.2500");
  EXPECT_EQ(fixed, "3.1750");
  EXPECT_EQ(integer, "1234567");
}

class WriteBlockTest : public ::testing::Test {
 protected:
  // What the stream holds so far.
  std::string written() const { return out_.str(); }

  std::ostringstream out_;
  GcodeWriter writer_{out_};
};

TEST_F(WriteBlockTest, NumberedBlocksInFixedWordOrder) {
  struct Case {
    BlockWords words;
    const char* line;  // without its CR LF
  };
  const Case cases[] = {
      {{.gWord = "G01", .x = "12.5000", .y = "3.0000", .f = "600.0000"},
       "N10 G01 X12.5000 Y3.0000 F600.0000 "},
      {{.gWord = "G01", .z = "-1.5000", .f = "100.0"}, "N20 G01 Z-1.5000 F100.0 "},
      {{.gWord = "G02", .x = "20.0000", .y = "10.0000", .r = "4.0000"},
       "N30 G02 X20.0000 Y10.0000 R4.0000 "},
      {{.gWord = "G00", .z = "5.0000"}, "N40 G00 Z5.0000 "},
      {{.comment = "NEXT SHAPE"}, "N50 ( NEXT SHAPE ) "},
      {{.gWord = "G00", .x = "0.0000", .y = "0.0000", .z = "5.0000"},
       "N60 G00 X0.0000 Y0.0000 Z5.0000 "},
      {{}, nullptr},  // all words empty: nothing written, no number used
      {{.z = "-1.0000"}, "N70 Z-1.0000 "},
      {{.x = " "}, "N80 X  "},  // texts are not trimmed: a blank is a word
      {{.gWord = "G01", .f = "1", .comment = "c", .rawText = "raw\r\n"}, "N90 G01 F1 ( c ) "},
      {{.comment = "c", .rawText = "raw\r\n"}, "N100 raw\r\n( c ) "},
      {{.comment = "c", .rawText = "raw"}, "N110 ( c ) "},
  };
  std::string expected;
  for (const auto& c : cases) {
    writer_.writeBlock(c.words);
    if (c.line != nullptr) expected += std::string(c.line) + "\r\n";
    EXPECT_EQ(written(), expected);
  }
  EXPECT_EQ(writer_.lineNumber, 120);
}

TEST_F(WriteBlockTest, PlainLinesCarryNoNumber) {
  writer_.writeLine("(Created with Brevanto)");
  writer_.writeLine("");
  writer_.writeBlock({.comment = "HOME POSITION"});
  EXPECT_EQ(written(), "(Created with Brevanto)\r\n\r\nN10 ( HOME POSITION ) \r\n");
}

// The library's own file gets every line the moment it is composed.
TEST(GcodeWriterFlush, EveryLineReachesTheFileAtOnce) {
  test::TempDir dir;
  const std::string file = dir.file("blocks.tap");
  std::ofstream out(file, std::ios::binary);
  GcodeWriter writer(out, true);
  writer.writeLine("(Created with Brevanto)");
  EXPECT_EQ(test::readFileBytes(file), "(Created with Brevanto)\r\n");
  writer.writeBlock({.gWord = "G00"});
  EXPECT_EQ(test::readFileBytes(file), "(Created with Brevanto)\r\nN10 G00 \r\n");
}

}  // namespace
}  // namespace brevanto
