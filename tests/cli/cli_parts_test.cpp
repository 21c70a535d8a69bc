// The command's smaller parts: segment files, settings, program reading,
// summary.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>

#include "brevanto/host.h"
#include "io/line_sink.h"
#include "io/output_file.h"
#include "report/job_summary.h"
#include "report/program_moves.h"
#include "report/toolpath_preview.h"
#include "seg_file.h"
#include "settings_choice.h"
#include "support/segments.h"
#include "support/temp_dir.h"
#include "usage_text.h"

namespace brevanto::cli {
namespace {

TEST(SegFile, RoundTripKeepsEveryBitAndTheLayout) {
  std::vector<Segment> in{test::line(1.5, -2.25, 3, 4, 5.5F, 1, 0x123456, 7),
                          test::curve(0, 0, 1, 2, 3, 4, 5, 6, 7.25F, 2, 255)};
  in[1].x2 = std::numeric_limits<double>::quiet_NaN();
  const std::string bytes = encodeSegments(in);
  ASSERT_EQ(bytes.size(), 160U);
  EXPECT_EQ(static_cast<unsigned char>(bytes[64]), 7);  // kind, low byte first
  EXPECT_EQ(static_cast<unsigned char>(bytes[76]), 0x56);
  std::vector<Segment> out;
  std::string error;
  ASSERT_TRUE(decodeSegments(bytes, out, error));
  ASSERT_EQ(out.size(), 2U);
  EXPECT_EQ(encodeSegments(out), bytes);
  EXPECT_EQ(out[0].y0, -2.25);
  EXPECT_EQ(out[1].length, 7.25F);
  EXPECT_TRUE(std::isnan(out[1].x2));
}

// The preview's numbers: the integer path must agree with to_chars to the
// byte, at halves, near them, signs, zeros and far values included.
TEST(PreviewNumbers, ThreeDecimalsAsToChars) {
  std::vector<double> values = {0.0,    -0.0,     0.0625,    -0.0625,  0.0005,   -0.0004,
                                2.5e-4, 999.9995, 1234.5675, 1e14,     1e15,     -3e17,
                                1e-300, 0.1,      NAN,       INFINITY, -INFINITY};
  std::mt19937_64 random(21);
  for (int i = 0; i < 200000; ++i) {
    const double scale = std::pow(10.0, static_cast<double>(random() % 12) - 3.0);
    const double v = std::uniform_real_distribution<double>(-1.0, 1.0)(random) * scale;
    values.push_back(v);
    values.push_back(std::round(v * 2000.0) / 2000.0);  // halves of a thousandth and neighbours
    values.push_back(std::nextafter(values.back(), 0.0));
  }
  for (const double v : values) {
    char ours[64], theirs[64];
    const std::string_view a(ours, static_cast<size_t>(fixed3(ours, ours + 64, v) - ours));
    const auto r = std::to_chars(theirs, theirs + 64, v, std::chars_format::fixed, 3);
    ASSERT_EQ(a, std::string_view(theirs, static_cast<size_t>(r.ptr - theirs))) << v;
  }
}

// The preview's legend: rows broken after ", " or "; " within the width,
// nothing lost; a row without a break stays whole.
TEST(PreviewLegend, LongRowsAreBrokenAtTheirCommas) {
  const struct {
    SummaryRow row;
    size_t most;
    std::vector<std::string> lines;
  } cases[] = {
      {{"shapes", "6"}, 20, {"shapes: 6"}},
      {{"op", "aaa, bbb; ccc, ddd"}, 10, {"op: aaa,", "bbb; ccc,", "ddd"}},
      {{"op", "aaaaaaaaaa, b"}, 6, {"op: aaaaaaaaaa,", "b"}},
      {{"op", "aaaaaaaaaaaaaa"}, 6, {"op: aaaaaaaaaaaaaa"}},
  };
  for (const auto& c : cases) EXPECT_EQ(rowLines(c.row, c.most), c.lines) << c.row.value;
}

TEST(SegFile, SizeThatIsNoWholeNumberOfRecordsIsRefused) {
  std::vector<Segment> out;
  std::string error;
  EXPECT_FALSE(decodeSegments(std::string(81, '\0'), out, error));
  EXPECT_NE(error.find("81 bytes"), std::string::npos);
  EXPECT_TRUE(decodeSegments("", out, error));
  EXPECT_TRUE(out.empty());
}

TEST(SettingsChoice, BuiltInValuesAreThoseOfTheExampleFile) {
  const std::string example = std::string(BREVANTO_SOURCE_DIR) + "/examples/CNC.ini";
  std::string error;
  const auto fromFile = chooseSettings(example, {}, error);
  ASSERT_TRUE(fromFile) << error;
  for (const SettingInfo& s : kSettings) {
    EXPECT_EQ(builtInSetting(s.name), fromFile->value(s.name).text) << s.name;
    EXPECT_EQ(readSettingsFileValue(example, s.name), s.builtIn) << s.name;
  }
}

// The README's settings table, the VBA module's saved settings and the
// settings the typed value holds all come from the one table.
TEST(SettingsChoice, TheDocumentsListTheTableAsItIs) {
  std::ifstream readme(std::string(BREVANTO_SOURCE_DIR) + "/README.md", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(readme)), {});
  EXPECT_NE(text.find(settingsTableMarkdown()), std::string::npos)
      << "README.md's settings table should read:\n"
      << settingsTableMarkdown();
  std::ifstream bas(std::string(BREVANTO_SOURCE_DIR) + "/windows/Brevanto.bas", std::ios::binary);
  const std::string module((std::istreambuf_iterator<char>(bas)), {});
  for (const SettingInfo& s : kSettings) {
    const bool saved = module.find("SaveSetting \"Brevanto\", \"CNC\", \"" + std::string(s.name) +
                                   "\"") != std::string::npos;
    EXPECT_EQ(saved, s.inMacroDialog) << s.name;
  }
}

TEST(SettingsChoice, StrictReadingGivesTheTypedValue) {
  const struct {
    const char* name;
    const char* text;
    const char* refusal;  // nullptr: accepted
  } cases[] = {
      {"Prezision", "0.01171875", nullptr},
      {"Dialect", " GRBL ", nullptr},
      {"txtWZDia", "1/8", "txtWZDia=1/8: not a plain decimal number; give a number, with"},
      {"ToolOffset", "left", "ToolOffset=left: not one of its values (none, outside, inside)"},
      {"TextFont", " hershey:futural ", nullptr},
      {"TextFont", "futural", "TextFont=futural: must be empty, or hershey:NAME"},
      {"txtMaxZ", "0.00001", "txtMaxZ: a pass depth of 1e-05 needs more than 100000 passes"},
      {"Park", " 10 , -300.5 ", nullptr},
      {"Park", "10;300", "Park=10;300: give X,Y (two numbers and a comma"},
      {"ClearanceZ", "4", "ClearanceZ: 4 must be at least txtSaveZ (5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SettingsSource source = [&c](std::string_view name) {
      return name == c.name ? std::string(c.text) : builtInSetting(name);
    };
    const SettingsRead read = readSettings(source, SettingsReading::Strict);
    if (c.refusal == nullptr) {
      EXPECT_TRUE(read.ok()) << read.error;
    } else {
      EXPECT_EQ(read.error.rfind(c.refusal, 0), 0U) << read.error;
    }
  }
  const SettingsSource fine = [](std::string_view name) {
    return name == "Prezision" ? "0.01171875" : name == "Dialect" ? " GRBL " : builtInSetting(name);
  };
  const SettingsRead read = readSettings(fine, SettingsReading::Strict);
  EXPECT_EQ(read.settings.precision, 0.01171875);
  EXPECT_EQ(read.settings.dialect, Dialect::Grbl);
  EXPECT_EQ(programFileEnding(read.settings.dialect), ".nc");
}

TEST(SettingsChoice, SetOverridesTheNamedFile) {
  test::TempDir dir;
  const std::string file = dir.file("my.ini");
  test::writeFileBytes(file, "txtFeedZ=150\ntxtMaxZ=1\n");
  std::string error;
  const auto choice = chooseSettings(file, {"txtMaxZ=0.5", "Prezision=2"}, error);
  ASSERT_TRUE(choice) << error;
  EXPECT_EQ(choice->value("txtFeedZ").text, "150");
  EXPECT_EQ(choice->value("txtFeedZ").origin, file + ":1");
  EXPECT_EQ(choice->value("txtMaxZ").text, "0.5");
  EXPECT_EQ(choice->value("txtMaxZ").origin, "--set");
  EXPECT_FALSE(choice->value("txtDepth").present);
  EXPECT_EQ(choice->source()("txtDepth"), "");  // missing in the file
}

TEST(SettingsChoice, BadChoicesAreRefusedWithAReason) {
  std::string error;
  EXPECT_FALSE(chooseSettings(std::string("/nonexistent/x.ini"), {}, error));
  EXPECT_NE(error.find("cannot be read: No such file"), std::string::npos) << error;
  EXPECT_FALSE(chooseSettings(std::nullopt, {"txtFeed=1"}, error));
  EXPECT_NE(error.find("txtFeedZ"), std::string::npos);
  EXPECT_FALSE(chooseSettings(std::nullopt, {"txtFeedZ"}, error));
}

// Lines longer than the sink's buffer, lines split across its end, and a
// last line without a line feed: each line reaches the reader whole, once,
// and the file gets every byte.
TEST(LineSink, HandsOnEveryLineWholeAndWritesEveryByte) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += std::string(static_cast<size_t>(i % 97), 'x') + "\n";
  text += std::string(200000, 'y') + "\n" + "last";
  test::TempDir dir;
  std::string error;
  StagedFile file;
  ASSERT_TRUE(file.open(dir.file("out.tap"), error)) << error;
  std::vector<std::string> lines;
  LineSink sink(file, [&](std::string_view line) { lines.emplace_back(line); });
  std::ostream stream(&sink);
  for (size_t at = 0; at < text.size(); at += 777) stream << text.substr(at, 777);
  ASSERT_TRUE(sink.finish());
  ASSERT_TRUE(file.commit(error)) << error;
  std::vector<std::string> expected;
  forEachLine(text, [&](std::string_view line) { expected.emplace_back(line); });
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(test::readFileBytes(dir.file("out.tap")), text);
}

// A pipe (or a device such as /dev/null) as the target is written, never
// replaced by a plain file.
TEST(StagedFile, PipeTargetIsWrittenNotReplaced) {
  test::TempDir dir;
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // The reading end, open before the write (the pipe's buffer holds it all).
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string error;
  StagedFile file;
  ASSERT_TRUE(file.open(fifo, error)) << error;
  ASSERT_TRUE(file.write("G00 X1\r\n"));
  EXPECT_TRUE(file.commit(error)) << error;
  char received[64] = {};
  EXPECT_EQ(::read(reader, received, sizeof received), 8);
  ::close(reader);
  EXPECT_STREQ(received, "G00 X1\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ProgramMoves, ReadsModalMovesShapesPassesAndArcs) {
  const std::string program =
      "(Created with Brevanto)\r\nG0 G49 G40  G17 G80 G50 G90\r\nG00 Z80.0000\r\n"
      "N10 ( NEXT SHAPE ) \r\nN20 G00 X0.0000 Y0.0000 Z5.0000 \r\nN30 G01 Z-1.5000 F100.0 \r\n"
      "N40 G01 X10.0000 Y0.0000 F800.0000 \r\nN50 G02 X20.0000 Y0.0000 R5.0000 \r\n"
      "N60 G03 X30.0000 Y0.0000 R-5.0000 ; a note\r\nN70 G01 Z-3 (deeper) \r\n"
      "N80 g3 x30 y0 i-5 J+0\r\nN90 G00 Z5.0000 \r\n";
  const auto moves = readProgramMoves(program);
  ASSERT_EQ(moves.size(), 9U);
  EXPECT_FALSE(moves[0].fromKnown);  // Z80 from nowhere
  EXPECT_FALSE(moves[1].fromKnown);  // X and Y first set here
  EXPECT_TRUE(moves[2].isPlunge());
  EXPECT_EQ(moves[2].feed, 100.0);
  EXPECT_EQ(moves[3].shape, 1);
  EXPECT_EQ(moves[3].pass, 1);
  EXPECT_NEAR(moves[3].length(), 10.0, 1e-12);
  EXPECT_EQ(moves[4].kind, ProgramMove::Kind::ClockwiseArc);
  EXPECT_NEAR(moves[4].length(), M_PI * 5.0, 1e-9);  // half circle
  EXPECT_EQ(moves[4].feed, 800.0);                   // modal
  EXPECT_NEAR(moves[5].sweep, M_PI, 1e-6);           // negative R: the long way, here equal
  EXPECT_EQ(moves[6].pass, 2);
  // Centre format, back to the start: a whole turn about (25, 0).
  EXPECT_EQ(moves[7].kind, ProgramMove::Kind::CounterClockwiseArc);
  EXPECT_EQ(moves[7].centreX, 25.0);
  EXPECT_NEAR(moves[7].length(), 2 * M_PI * 5.0, 1e-9);
  EXPECT_EQ(moves[8].kind, ProgramMove::Kind::Rapid);
}

// The R word's centre for each turning sense and sign, and the turn it gives:
// chord 10 with radius 10 is 60 degrees the short way.
TEST(ProgramMoves, RadiusWordCentreAndSweep) {
  const double h = std::sqrt(100.0 - 25.0);
  const struct {
    const char* block;
    double centreY;
    double sweep;
  } cases[] = {{"G03 X10 Y0 R10", h, M_PI / 3},
               {"G02 X10 Y0 R10", -h, M_PI / 3},
               {"G03 X10 Y0 R-10", -h, 2 * M_PI - M_PI / 3},
               {"G02 X10 Y0 R-10", h, 2 * M_PI - M_PI / 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block);
    const auto moves = readProgramMoves(std::string("G00 X0 Y0\n") + c.block + "\n");
    ASSERT_EQ(moves.size(), 2U);
    EXPECT_NEAR(moves[1].centreX, 5.0, 1e-12);
    EXPECT_NEAR(moves[1].centreY, c.centreY, 1e-12);
    EXPECT_NEAR(moves[1].sweep, c.sweep, 1e-12);
    // The middle of the arc lies on its circle.
    const PlanePoint m = moves[1].pointAlong(0.5);
    EXPECT_NEAR(std::hypot(m.x - 5.0, m.y - c.centreY), 10.0, 1e-9);
  }
}

// Exact bounds: an arc of 270 degrees reaches three extremes of its circle.
TEST(ProgramMoves, BoxHoldsTheWholeArc) {
  const struct {
    const char* block;
    double minX, minY, maxX, maxY;
  } cases[] = {{"G03 X0 Y-10 R-10", -10, -10, 10, 10},
               {"G02 X0 Y-10 R10", 0, -10, 10, 0},
               {"G03 X0 Y10 I-10 J0", 0, 0, 10, 10},
               {"G02 X10 Y0 I-10 J0", -10, -10, 10, 10}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block);
    const auto moves = readProgramMoves(std::string("G00 X10 Y0\n") + c.block + "\n");
    ASSERT_EQ(moves.size(), 2U);
    PlaneBox box;
    box.add(moves[1]);
    EXPECT_NEAR(box.minX, c.minX, 1e-9);
    EXPECT_NEAR(box.minY, c.minY, 1e-9);
    EXPECT_NEAR(box.maxX, c.maxX, 1e-9);
    EXPECT_NEAR(box.maxY, c.maxY, 1e-9);
  }
}

TEST(JobSummary, FiguresFromTheProgram) {
  const std::string program =
      "G00 Z80\nN10 ( NEXT SHAPE )\nN20 G00 X0 Y0 Z5\nN30 G01 Z-1 F100\nN40 G01 X100 Y0 F1000\n"
      "N50 G00 Z5\nN60 ( NEXT SHAPE )\nN70 G00 X100 Y50 Z5\nN80 G01 Z-1 F100\n"
      "N90 G01 X0 Y50 F1000\nN100 G00 Z5\n";
  JobReport report;
  report.elementsAfterIntake = 9;
  report.elementsAfterArcJoining = 5;
  report.elementsAfterLineJoining = 2;
  const auto rows = summarize({2, 3, 1, "text 1", "", 0, {}}, report, readProgramMoves(program));
  auto value = [&](const std::string& label) {
    for (const SummaryRow& row : rows) {
      if (row.label == label) return row.value;
    }
    return std::string("(missing)");
  };
  EXPECT_EQ(value("shapes"), "2");
  EXPECT_EQ(value("segments"), "3");
  EXPECT_EQ(value("elements skipped"), "1 (text 1)");
  EXPECT_EQ(value("path elements after flattening"), "9");
  EXPECT_EQ(value("after arc joining"), "5");
  EXPECT_EQ(value("after line joining"), "2");
  EXPECT_EQ(value("passes"), "2 (1 per shape)");
  // 6 down twice and 200 along; rapids: 6 up twice and 50 across.
  EXPECT_EQ(value("cutting length"), "212.0 mm");
  EXPECT_EQ(value("rapid length"), "62.0 mm");
  // 12 mm at 100 + 200 mm at 1000 + 62 mm rapid = 0.12 + 0.2 + 0.0124 min = 19.9 s.
  EXPECT_EQ(value("estimated time").substr(0, 7), "0:00:20");
  // Every row on a line of its own, values lined up.
  const std::string text = formatSummary(rows);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(rows.size()));
  EXPECT_NE(text.find("  shapes .......................... 2\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace brevanto::cli
