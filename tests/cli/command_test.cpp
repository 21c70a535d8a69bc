// End to end: the built brevanto executable, its exit status and messages.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "support/command_run.h"
#include "support/temp_dir.h"

namespace {

using brevanto::test::readFileBytes;
using brevanto::test::TempDir;
using brevanto::test::writeFileBytes;

const std::string kExamples = std::string(BREVANTO_SOURCE_DIR) + "/examples";
const std::string kSettings = "--settings '" + kExamples + "/CNC.ini'";

using brevanto::test::CommandRun;
using brevanto::test::contains;

// Settings come from the example file unless the arguments say otherwise, so
// the user's own settings never count.
CommandRun brevanto(const TempDir& dir, const std::string& arguments, const std::string& env = "") {
  return brevanto::test::runCommand(dir, arguments, env);
}

const char* kSquare =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" viewBox="0 0 50 50">
<rect x="10" y="10" width="20" height="20" stroke="black" fill="none"/>
</svg>
)";

TEST(Command, HelpAndVersionTellTheTruth) {
  TempDir dir;
  const CommandRun help = brevanto(dir, "--help");
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--output", "--quiet", "--settings", "--set", "--show-settings",
                             "--no-flip", "--preview", "--dump-segments", "--max-deviation",
                             "--version", "Exit status: 0 success, 1 unreadable"}) {
    EXPECT_TRUE(contains(help.out, option)) << option;
  }
  for (const brevanto::SettingInfo& s : brevanto::kSettings) {
    EXPECT_TRUE(contains(help.out, "  " + std::string(s.name) + "=" + std::string(s.builtIn)))
        << s.name;
  }
  const CommandRun version = brevanto(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "brevanto " BREVANTO_VERSION "\n");
  EXPECT_EQ(brevanto(dir, "").status, 64);
  EXPECT_EQ(brevanto(dir, "--no-such-option x.svg").status, 64);
}

TEST(Command, WritesTheProgramBesideTheDrawingAndSummarises) {
  TempDir dir;
  writeFileBytes(dir.file("square.svg"), kSquare);
  const CommandRun r = brevanto(dir, "square.svg " + kSettings);
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string program = readFileBytes(dir.file("square.tap"));
  EXPECT_EQ(program.rfind("(Created with Brevanto)\r\n", 0), 0U);
  EXPECT_TRUE(contains(program, "G01 X30.0000 Y40.0000")) << program;  // y flipped on the page
  for (const char* figure :
       {"shapes", "segments", "after arc joining", "after line joining", "passes", "cutting length",
        "rapid length", "estimated time", "largest deviation"}) {
    EXPECT_TRUE(contains(r.err, figure)) << figure << "\n" << r.err;
  }
  const CommandRun quiet = brevanto(dir, "-q square.svg -o other.tap " + kSettings);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(readFileBytes(dir.file("other.tap")), program);
}

// Each dialect's program lands under the name its controllers look for, and
// the summary measures the program actually written: the same path, so the
// same deviation, whatever the words.
TEST(Command, DialectsChooseTheFileNameAndCutTheSamePath) {
  TempDir dir;
  writeFileBytes(dir.file("circle.svg"), readFileBytes(kExamples + "/circle.svg"));
  const struct {
    const char* arguments;
    const char* file;
    const char* header;  // the second line
  } cases[] = {
      {"", "circle.tap", "G0 G49 G40  G17 G80 G50 G90"},
      {"--dialect linuxcnc", "circle.ngc", "G17 G40 G49 G80 G90 G91.1"},
      {"--set Dialect=grbl", "circle.nc", "G17 G40 G49 G80 G90 G91.1"},
  };
  std::string deviation;
  for (const auto& c : cases) {
    const CommandRun r = brevanto(dir, "circle.svg " + kSettings + " " + c.arguments);
    ASSERT_EQ(r.status, 0) << c.arguments << r.err;
    const std::string program = readFileBytes(dir.file(c.file));
    EXPECT_TRUE(contains(program, std::string("\r\n") + c.header + "\r\n")) << c.file;
    const std::string figure = r.err.substr(r.err.find("largest deviation"));
    if (deviation.empty()) deviation = figure;
    EXPECT_EQ(figure, deviation) << c.arguments;
  }
  const CommandRun unknown = brevanto(dir, "circle.svg --dialect fanuc " + kSettings);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(contains(unknown.err, "not one of its values (classic, linuxcnc, grbl)"))
      << unknown.err;
}

TEST(Command, ProgramToStandardOutput) {
  TempDir dir;
  writeFileBytes(dir.file("square.svg"), kSquare);
  const CommandRun r = brevanto(dir, "-q -o - square.svg " + kSettings);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("(Created with Brevanto)\r\n", 0), 0U);
  EXPECT_TRUE(contains(r.out, "M30\r\n"));
  EXPECT_TRUE(readFileBytes(dir.file("square.tap")).empty());
}

TEST(Command, SegmentDumpReplaysToTheSameProgram) {
  TempDir dir;
  writeFileBytes(dir.file("square.svg"), kSquare);
  ASSERT_EQ(brevanto(dir, "-q square.svg --dump-segments square.seg " + kSettings).status, 0);
  EXPECT_EQ(readFileBytes(dir.file("square.seg")).size(), 4U * 80U);
  ASSERT_EQ(brevanto(dir, "-q square.seg -o replay.tap " + kSettings).status, 0);
  EXPECT_EQ(readFileBytes(dir.file("replay.tap")), readFileBytes(dir.file("square.tap")));
}

TEST(Command, SettingsOverridesAndTheirOrigin) {
  TempDir dir;
  const CommandRun shown =
      brevanto(dir, "--show-settings --set txtMaxZ=0.5 --set 'txtSaveZ= 7' " + kSettings);
  EXPECT_EQ(shown.status, 0);
  EXPECT_TRUE(contains(shown.out, "(from --set)\ntxtMaxZ=0.5\n")) << shown.out;
  EXPECT_TRUE(contains(shown.out, "(from " + kExamples + "/CNC.ini:6)\ntxtFeedZ=100\n"))
      << shown.out;
  // What --show-settings prints is a settings file that reads back as it is.
  writeFileBytes(dir.file("shown.ini"), shown.out);
  const CommandRun again = brevanto(dir, "--show-settings --settings shown.ini");
  EXPECT_EQ(again.status, 0) << again.err;
  const auto values = [](const std::string& text) {
    std::string lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
      end = text.find('\n', at);
      const std::string line = text.substr(at, end - at);
      if (!line.empty() && line[0] != '#') lines += line + "\n";
    }
    return lines;
  };
  EXPECT_EQ(values(again.out), values(shown.out));
  EXPECT_TRUE(contains(again.out, "txtSaveZ= 7\n")) << again.out;

  const CommandRun builtIn =
      brevanto(dir, "--show-settings", "BREVANTO_SETTINGS=/nonexistent/CNC.ini");
  EXPECT_TRUE(contains(builtIn.out, "(from built in (the values of examples/CNC.ini))\ntxtWZDia=3"))
      << builtIn.out;

  // A misspelt name is named with the setting it is nearest, if any is near.
  const std::string example = readFileBytes(kExamples + "/CNC.ini");
  const std::string after =
      std::to_string(std::count(example.begin(), example.end(), '\n') + 1) + ": ";
  writeFileBytes(dir.file("typo.ini"), example + "txtDepht=3\nSpindleSpeed=9000\n");
  const CommandRun typo = brevanto(dir, "-q --show-settings --settings typo.ini");
  EXPECT_EQ(typo.status, 0) << typo.err;
  EXPECT_TRUE(
      contains(typo.err, "typo.ini:" + after + "txtDepht: not a setting; did you mean txtDepth?"))
      << typo.err;
  EXPECT_TRUE(contains(typo.err, "SpindleSpeed: not a setting (the settings are")) << typo.err;
  EXPECT_EQ(brevanto(dir, "--strict --show-settings --settings typo.ini").status, 2);
  EXPECT_TRUE(contains(brevanto(dir, "--show-settings --set txtWZdia=3").err,
                       "txtWZdia is not a setting; did you mean txtWZDia?"));

  writeFileBytes(dir.file("square.svg"), kSquare);
  const CommandRun note = brevanto(dir, "square.svg", "BREVANTO_SETTINGS=/nonexistent/CNC.ini");
  EXPECT_EQ(note.status, 0) << note.err;
  EXPECT_TRUE(contains(note.err, "using the built-in values of examples/CNC.ini")) << note.err;
  // Even -q does not hide that nobody chose the settings.
  const CommandRun quiet = brevanto(dir, "-q square.svg", "BREVANTO_SETTINGS=/nonexistent/CNC.ini");
  EXPECT_TRUE(contains(quiet.err, "using the built-in values")) << quiet.err;
}

TEST(Command, ExitStatusesOfFailures) {
  TempDir dir;
  writeFileBytes(dir.file("square.svg"), kSquare);
  writeFileBytes(dir.file("square.tap"), "earlier program\n");
  const struct {
    const char* name;
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"unreadable drawing", "missing.svg " + kSettings, 1,
       "cannot read missing.svg: No such file"},
      {"refused setting", "square.svg --set txtFeedZ=fast " + kSettings, 2,
       "setting refused: txtFeedZ=fast (from --set): not a plain decimal number"},
      {"unknown setting", "square.svg --set txtFeed=1 " + kSettings, 2, "--set txtFeed=1"},
      {"missing settings file", "square.svg --settings nowhere.ini", 2,
       "the settings file nowhere.ini cannot be read: No such file"},
      {"missing folder", "square.svg -o no/such/dir/x.tap " + kSettings, 3,
       "cannot write the program no/such/dir/x.tap: No such file"},
      {"preview folder", "square.svg -o ok.tap --preview no/such/p.svg " + kSettings, 3,
       "cannot write the preview no/such/p.svg"},
      {"tool fits in no shape", "square.svg --offset inside --set txtWZDia=50 -q " + kSettings, 2,
       "txtWZDia=50: the tool fits in none of the drawing's shapes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CommandRun r = brevanto(dir, c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
  }
  // A refused setting leaves the earlier program as it was.
  EXPECT_EQ(readFileBytes(dir.file("square.tap")), "earlier program\n");
}

// Holes too small for the tool: said even with -q, counted, the first few named.
TEST(Command, ToolMisfitsAreCountedEvenWhenQuiet) {
  TempDir dir;
  std::string holes;
  for (int i = 0; i < 5; ++i) {
    holes += "<circle cx=\"" + std::to_string(10 + 5 * i) + "\" cy=\"25\" r=\"1\"/>";
  }
  writeFileBytes(dir.file("plate.svg"),
                 R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" )"
                 R"(viewBox="0 0 50 50"><g stroke="black" fill="none">)"
                 R"(<rect x="5" y="5" width="40" height="40"/>)" +
                     holes + "</g></svg>");
  const CommandRun r = brevanto(dir, "plate.svg -q --offset outside " + kSettings);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "the tool does not fit, its path is left out in 5 places: shape "))
      << r.err;
  EXPECT_TRUE(contains(r.err, ", ...")) << r.err;
}

// Bad drawings: a message naming the file (and the line where known), exit
// status 1, and no program.
TEST(Command, BadDrawingsAreRefusedWithFileAndLine) {
  TempDir dir;
  std::string deep = "<svg xmlns=\"http://www.w3.org/2000/svg\">\n";
  for (int i = 0; i < 10000; ++i) deep += "<g>";
  deep += "<path d=\"M 0 0 L 1 1\"/>";
  for (int i = 0; i < 10000; ++i) deep += "</g>";
  deep += "\n</svg>\n";
  const std::string head = R"(<svg xmlns="http://www.w3.org/2000/svg" width="9mm" height="9mm">)";
  const struct {
    const char* file;
    std::string text;
    const char* message;
  } cases[] = {
      {"malformed.svg", head + "\n<path d=\"M 0 0 L 1 1\">\n</svg>\n",
       "malformed.svg:4: not a readable XML document"},
      {"empty.svg", "", "empty.svg:1: not a readable XML document: the file is empty"},
      {"nothing.svg", head + "\n<text writing-mode=\"tb\">only words</text>\n</svg>\n",
       "nothing.svg: the drawing has no outlines to cut"},
      {"nan.svg", head + "\n<path d=\"M 0 0 L 1 1\"/>\n<path d=\"M 0 0 L nan 1\"/>\n</svg>\n",
       "nan.svg:3: "},
      {"huge.svg", head + "\n<path d=\"M 0 0 L 1e30 1\"/>\n</svg>\n",
       "huge.svg:2: coordinate (2.64583e+29, 0.264583) mm is not a number or lies beyond"},
      {"deep.svg", deep, "deep.svg:2: not a readable XML document: elements nested too deeply"},
      {"degenerate.svg", head + "\n<path d=\"M 1 1 C 1 1 1 1 1 1\"/>\n</svg>\n",
       "degenerate.svg: the drawing has no outlines to cut"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    writeFileBytes(dir.file(c.file), c.text);
    const CommandRun r = brevanto(dir, std::string(c.file) + " " + kSettings);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, std::string("brevanto: ") + c.message)) << r.err;
    std::string tap = c.file;
    tap.replace(tap.size() - 4, 4, ".tap");
    EXPECT_TRUE(readFileBytes(dir.file(tap)).empty()) << tap;
  }
}

TEST(Command, UnknownElementsAreSkippedAndCounted) {
  TempDir dir;
  writeFileBytes(dir.file("mixed.svg"),
                 R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm">
<text x="1" y="1" direction="rtl">label</text><image width="5" height="5"/><blob/>
<circle cx="20" cy="20" r="10"/></svg>
)");
  const CommandRun r = brevanto(dir, "mixed.svg " + kSettings);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.err,
                       "left out: text 1 (first at line 2), images 1 (first at line 2), "
                       "other elements 1 (first at line 2)"))
      << r.err;
  EXPECT_TRUE(contains(r.err, "2 (blob 1, image 1)")) << r.err;
}

// A drawing in pixels: its size rests on --dpi, which the command says;
// --strict refuses a drawing with anything left out and writes nothing.
TEST(Command, PixelDensityAndStrict) {
  TempDir dir;
  writeFileBytes(dir.file("px.svg"),
                 R"(<svg xmlns="http://www.w3.org/2000/svg" width="96" height="96">
<rect x="0" y="0" width="96" height="48" stroke="black" fill="none"/>
<text x="1" y="1">label</text></svg>
)");
  struct Run {
    std::string arguments;
    int status;
    const char* message;
  };
  for (const Run& run : {Run{"px.svg", 0, "extent: 25.40 x 12.70 mm"},
                         Run{"px.svg --dpi 72", 0, "extent: 33.87 x 16.93 mm"},
                         Run{"px.svg --dpi 72", 0, "taken at 72 pixels per inch (--dpi)"},
                         Run{"px.svg --strict", 1, "px.svg: --strict: 1 element(s) left out"},
                         Run{"px.svg --dpi 0", 64, "--dpi"}}) {
    SCOPED_TRACE(run.arguments);
    std::filesystem::remove(dir.file("px.tap"));
    const CommandRun r = brevanto(dir, run.arguments + " " + kSettings);
    EXPECT_EQ(r.status, run.status) << r.err;
    EXPECT_TRUE(contains(r.err, run.message)) << r.err;
    EXPECT_EQ(std::filesystem::exists(dir.file("px.tap")), run.status == 0);
  }
}

// A 50 MB drawing, made here: mostly a long run of small shapes inside one
// group, the way big exports look.
TEST(Command, FiftyMegabyteDrawing) {
  TempDir dir;
  std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="500mm" height="500mm">)";
  svg += "\n<g>\n";
  const std::string filler(200, ' ');
  const std::string text = "<desc>" + std::string(400, 'x') + "</desc>\n";
  while (svg.size() < 50u * 1000u * 1000u) svg += text;
  svg += "<rect x=\"10\" y=\"10\" width=\"100\" height=\"50\"/>\n</g>\n</svg>\n";
  writeFileBytes(dir.file("big.svg"), svg);
  const CommandRun r = brevanto(dir, "big.svg " + kSettings);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "shapes")) << r.err;
  EXPECT_FALSE(readFileBytes(dir.file("big.tap")).empty());
}

// A flat ellipse: its curvature changes all the way round, so a coarse
// precision joins arcs of clearly different radii into one.
TEST(Command, MaxDeviationFailsWhenACoarseJoinStrays) {
  TempDir dir;
  writeFileBytes(
      dir.file("ellipse.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" viewBox="0 0 100 100">
<ellipse cx="50" cy="50" rx="40" ry="10" stroke="black" fill="none"/>
</svg>
)");
  const CommandRun fine = brevanto(dir, "ellipse.svg --max-deviation 0.3 " + kSettings);
  EXPECT_EQ(fine.status, 0) << fine.err;
  EXPECT_TRUE(contains(fine.err, "largest deviation")) << fine.err;

  const CommandRun coarse = brevanto(
      dir, "ellipse.svg --tolerance none --max-deviation 0.3 --set Prezision=30 " + kSettings);
  EXPECT_EQ(coarse.status, 4) << coarse.err;
  EXPECT_TRUE(contains(coarse.err, "strays further from the drawing than 0.3000 mm")) << coarse.err;
  EXPECT_TRUE(contains(coarse.err, "in shape 1, where the path strays")) << coarse.err;
  // The program is written all the same.
  EXPECT_EQ(readFileBytes(dir.file("ellipse.tap")).rfind("(Created with Brevanto)\r\n", 0), 0U);

  EXPECT_EQ(brevanto(dir, "ellipse.svg --max-deviation -1 " + kSettings).status, 64);
}

// The summary's figure in mm, or -1.
// The command keeps its tolerance by refining the job where the program
// strays, and writes nothing when it cannot.
TEST(Command, ToleranceIsKeptOrNothingIsWritten) {
  TempDir dir;
  writeFileBytes(
      dir.file("ellipse.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" viewBox="0 0 100 100">
<ellipse cx="50" cy="50" rx="40" ry="10" stroke="black" fill="none"/></svg>
)");
  std::string spiral =
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" viewBox="0 0 100 100"><path fill="none" stroke="black" d="M50 50)";
  for (int i = 1; i <= 12; ++i) {
    const double r = 3.0 * i;
    spiral += " A" + std::to_string(r) + " " + std::to_string(r) + " 0 0 1 " +
              std::to_string(i % 2 == 1 ? 50 + r : 50 - r) + " 50";
  }
  writeFileBytes(dir.file("spiral.svg"), spiral + "\"/></svg>\n");
  writeFileBytes(dir.file("glyphs.svg"), readFileBytes(kExamples + "/glyphs.svg"));
  // A 12 mm hole in a plate, cut with a 6 mm tool: joined at the default
  // precision its path is a circle of R3.0008 about a centre 0.012 mm off.
  writeFileBytes(
      dir.file("hole.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm" viewBox="0 0 100 100">
<g stroke="black" fill="none"><rect x="10" y="10" width="80" height="80"/>
<circle cx="50" cy="50" r="6"/><path d="M20 20 L40 30"/></g></svg>
)");
  const struct {
    const char* arguments;
    int status;
    double least, within;  // mm
    const char* refined;   // what the summary says was made again ("": nothing)
  } cases[] = {
      {"ellipse.svg --tolerance 0.01", 0, 0.0, 0.01, "1 shape(s) made again"},
      // A coarse join is refined.
      {"ellipse.svg --set Prezision=30", 0, 0.0, 0.05, "1 shape(s) made again"},
      {"spiral.svg --tolerance 0.01", 0, 0.0, 0.01, ""},
      {"glyphs.svg --tolerance 0.01", 0, 0.0, 0.01, "shape(s) made again"},
      {"hole.svg --offset inside --set txtWZDia=6 --tolerance none", 0, 0.012, 0.0145, ""},
      // Only the hole strays: it alone is refined, before it is offset.
      {"hole.svg --offset outside --set txtWZDia=6 --tolerance 0.005", 0, 0.0, 0.005,
       "1 shape(s) made again"},
      {"hole.svg --cut-order inside-first --tolerance 0.005", 0, 0.0, 0.005,
       "1 shape(s) made again"},
  };
  for (const auto& c : cases) {
    const CommandRun r = brevanto(dir, std::string(c.arguments) + " -o out.tap " + kSettings);
    EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.err;
    EXPECT_EQ(contains(r.err, "made again"), *c.refined != '\0') << c.arguments << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, c.refined)) << c.arguments << "\n" << r.err;
    EXPECT_GE(deviationOf(r), c.least) << r.err;
    EXPECT_LE(deviationOf(r), c.within) << c.arguments << "\n" << r.err;
    EXPECT_EQ(contains(r.err, "strays from the tool radius"), contains(c.arguments, "offset"))
        << r.err;
  }
  std::filesystem::remove(dir.file("out.tap"));
  const CommandRun impossible =
      brevanto(dir, "glyphs.svg --tolerance 1e-9 -o out.tap " + kSettings);
  EXPECT_EQ(impossible.status, 4) << impossible.err;
  EXPECT_TRUE(contains(impossible.err, "nothing written")) << impossible.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.tap")));
}

}  // namespace
