// Operations and the drawing's scale through the command: refusals that name
// the operation, the value and its line; shapes no operation selects; old
// Inkscape pixel drawings.
#include <gtest/gtest.h>

#include <string>

#include "support/command_run.h"
#include "support/temp_dir.h"

namespace {

using brevanto::test::CommandRun;
using brevanto::test::contains;
using brevanto::test::TempDir;
using brevanto::test::writeFileBytes;

const std::string kBase = std::string("[CNC]\n") +
                          "txtFeedZ=100\ntxtMaxZ=1.5\ntxtDepth=2\ntxtSaveZ=5\ntxtFeedCut=800\n"
                          "txtWZNummer=1\ntxtWZDia=3\nPrezision=3\n";

const char* kTwoColours =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" viewBox="0 0 50 50">
<rect x="10" y="10" width="20" height="20" stroke="#ff0000" fill="none"/>
<rect x="15" y="15" width="5" height="5" stroke="#0000ff" fill="none"/>
</svg>
)";

TEST(Operations, RefusalsAndShapesNotCut) {
  const struct {
    const char* name;
    std::string sections;
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"a bad depth names its line", "[operation cut]\nSelect=all\nDepth=6mm\n", "", 2,
       "s.ini:12: operation cut: Depth=6mm: not a plain decimal number"},
      {"an unknown selector", "[operation cut]\nSelect=colour:red\n", "", 2,
       "operation cut: Select=colour:red: give which shapes"},
      {"a value operations do not have", "[operation cut]\nSelect=all\nSpeed=3\n", "", 2,
       "s.ini:12: operation cut: Speed is not a value of an operation"},
      {"a shape not selected", "[operation red]\nSelect=stroke:#ff0000\n", "", 0,
       "1 shape(s) (2) not cut: no operation selects them"},
      {"refused with --strict", "[operation red]\nSelect=stroke:#ff0000\n", "--strict", 1,
       "--strict: 1 shape(s) (2)"},
      {"a tool too wide for the hole, with --strict",
       "[operation all]\nSelect=all\nSide=inside\nToolDiameter=6\n", "--strict", 1,
       "--strict: the tool does not fit, its path would be left out in 2 places"},
      {"set on the command line", "", "--operation blue:Select=stroke:#0000ff", 0,
       "1 shape(s) (1) not cut"},
      {"tabs on one operation's parts", "[operation all]\nSelect=all\nSide=outside\nTabs=2\n", "",
       0, "holding tabs .................... 2"},
      {"a tab count checked as the base one", "[operation all]\nSelect=all\nTabs=-1\n", "", 2,
       "operation all: Tabs=-1: must be a whole number from 0 to 1000"},
      // Laser kinds: the keys each has a use for, one machine per program.
      {"a laser's cut and fill",
       "[operation red]\nSelect=stroke:#ff0000\nKind=laser-cut\nPower=80\n"
       "[operation blue]\nSelect=stroke:#0000ff\nKind=laser-fill\nPower=30\n",
       "", 0,
       "laser-fill, power 30 % (S300), 1 pass(es), feed 800, lines 0.1 mm apart at 0 degrees both "
       "ways, overscan 0 mm, burning "},
      {"Machine=laser makes laser-cut the kind", "[operation all]\nSelect=all\nPower=55\n",
       "--set Machine=laser", 0, "laser-cut, power 55 % (S550)"},
      {"power means nothing to a router", "[operation all]\nSelect=all\nPower=50\n", "", 2,
       "s.ini:12: operation all: Power=50: means nothing to Kind=profile"},
      {"depth means nothing to a laser", "[operation all]\nSelect=all\nKind=laser-cut\nDepth=3\n",
       "", 2, "Depth=3: means nothing to Kind=laser-cut"},
      {"fill lines mean nothing to a cut",
       "[operation all]\nSelect=all\nKind=laser-cut\nLineInterval=0.2\n", "", 2,
       "LineInterval=0.2: means nothing to Kind=laser-cut"},
      {"a router and a laser",
       "[operation red]\nSelect=stroke:#ff0000\nKind=laser-cut\n"
       "[operation blue]\nSelect=stroke:#0000ff\n",
       "", 2, "one program drives one machine"},
      {"a laser in classic", "[operation all]\nSelect=all\nKind=laser-fill\n", "--dialect classic",
       2, "Dialect: classic has no laser words"},
      {"one program per tool, the inner shape's first",
       "[operation red]\nSelect=stroke:#ff0000\nTool=3\n[operation rest]\nSelect=all\n",
       "--split-by-tool", 0, "d.svg -> d-T1.tap, d-T3.tap"},
      {"each operation's length and time, as written",
       "[operation red]\nSelect=stroke:#ff0000\n[operation blue]\nSelect=all\nFeed=400\n", "", 0,
       "feed 400, plunge 100, cutting 47.0 mm, 0:00:10"},
      {"no file per tool on standard output", "", "--split-by-tool -o -", 64, "not -o -"},
      {"a pocket takes no side", "[operation p]\nSelect=all\nKind=pocket\nSide=inside\n", "", 2,
       "operation p: Side=inside: a pocket clears the area inside the line"},
      {"a pocket, then a profile",
       "[operation p]\nSelect=stroke:#0000ff\nKind=pocket\nStepOver=50\n"
       "[operation o]\nSelect=stroke:#ff0000\nSide=outside\n",
       "", 0, "pockets ......................... 1 cleared"},
  };
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kTwoColours);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFileBytes(dir.file("s.ini"), kBase + c.sections);
    const std::string output = c.arguments.find("-o ") == std::string::npos ? "-o d.tap " : "";
    const CommandRun r =
        brevanto::test::runCommand(dir, "d.svg --settings s.ini " + output + c.arguments, "");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
  }
}

// Part a with tool 1, then the name inside part b with tool 2, then part b
// with tool 1 again: one program per tool cannot keep that order.
TEST(Operations, SplitByToolSaysWhenAToolIsTakenUpAgain) {
  TempDir dir;
  writeFileBytes(dir.file("s.ini"),
                 kBase +
                     "[operation a]\nSelect=id:a\n[operation name]\nSelect=stroke:#0000ff\n"
                     "Kind=engrave\nTool=2\n[operation parts]\nSelect=all\n");
  writeFileBytes(
      dir.file("d.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="90mm" height="40mm" viewBox="0 0 90 40">
<rect id="a" x="5" y="5" width="30" height="30" stroke="#ff0000" fill="none"/>
<rect x="50" y="5" width="30" height="30" stroke="#ff0000" fill="none"/>
<path d="M 55 20 L 70 20" stroke="#0000ff" fill="none"/></svg>
)");
  for (const auto& [strict, status] : {std::pair{"", 0}, std::pair{"--strict ", 1}}) {
    const CommandRun r = brevanto::test::runCommand(
        dir, std::string(strict) + "-q --split-by-tool d.svg --settings s.ini -o d.tap", "");
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_TRUE(contains(r.err, "takes up tool T1 again")) << r.err;
  }
}

TEST(Operations, OldInkscapePixelsAskForTheirDensity) {
  TempDir dir;
  writeFileBytes(dir.file("s.ini"), kBase);
  writeFileBytes(
      dir.file("old.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:inkscape="http://www.inkscape.org/namespaces/inkscape"
 inkscape:version="0.91 r13725" width="400" height="400"><rect x="10" y="10" width="354.33" height="354.33" stroke="black" fill="none"/></svg>
)");
  const CommandRun plain = brevanto::test::runCommand(dir, "old.svg -o o.tap --settings s.ini", "");
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(contains(plain.err, "give --dpi 90")) << plain.err;
  EXPECT_EQ(
      brevanto::test::runCommand(dir, "old.svg -o o.tap --strict --settings s.ini", "").status, 1);
  EXPECT_EQ(
      brevanto::test::runCommand(dir, "old.svg -o o.tap --strict --dpi 90 --settings s.ini", "")
          .status,
      0);
}

}  // namespace

// The figure with operations: each path measured as its operation cuts it
// (beside the line by its own tool's radius, on the line, pockets left out),
// shapes no operation selects not expected, and the tolerance kept.
TEST(Operations, FigureAndToleranceFollowEachOperation) {
  TempDir dir;
  // A plate (red), a 12 mm hole (blue: with a 6 mm tool its path comes out
  // 0.012 mm off the radius unless refined), a line (green) and a circle no
  // operation selects (black).
  writeFileBytes(
      dir.file("d.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="200mm" height="100mm" viewBox="0 0 200 100">
<rect x="10" y="10" width="80" height="80" stroke="#ff0000" fill="none"/>
<circle cx="50" cy="50" r="6" stroke="#0000ff" fill="none"/>
<path d="M20 20 L40 30" stroke="#00aa00" fill="none"/>
<circle cx="150" cy="50" r="20" stroke="#000000" fill="none"/></svg>
)");
  const std::string outline = "[operation outline]\nSelect=stroke:#ff0000\nSide=outside\n";
  const std::string line = "[operation line]\nSelect=stroke:#00aa00\nKind=engrave\nTool=2\n";
  const std::string hole =
      "[operation hole]\nSelect=stroke:#0000ff\nSide=inside\nTool=3\nToolDiameter=6\n";
  const struct {
    const char* name;
    std::string sections;
    const char* arguments;
    int status;
    double least, within;  // mm
    const char* message;
  } cases[] = {
      {"each offset by its own tool", outline + line + hole, "--tolerance none", 0, 0.012, 0.0145,
       "strays from the tool radius"},
      {"refined to the tolerance", outline + line + hole, "--tolerance 0.005", 0, 0.0, 0.005,
       "to keep the tolerance"},
      {"held to --max-deviation", outline + line + hole, "--tolerance none --max-deviation 0.005",
       4, 0.012, 0.0145, "strays further from the drawing than 0.0050 mm"},
      {"a pocket left out beside an offset",
       outline + line + "[operation hole]\nSelect=stroke:#0000ff\nKind=pocket\n", "", 0, 0.0, 0.001,
       "(pockets not measured)"},
      {"a pocket left out both ways",
       "[operation outline]\nSelect=stroke:#ff0000\n[operation hole]\nSelect=stroke:#0000ff\n"
       "Kind=pocket\n",
       "", 0, 0.0, 0.001, "where the path strays from the drawing (pockets not measured)"},
      {"only pockets", "[operation hole]\nSelect=stroke:#0000ff\nKind=pocket\n", "", 0, -1.0, -1.0,
       "not measured: a pocket's rings"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFileBytes(dir.file("s.ini"), kBase + c.sections);
    const CommandRun r = brevanto::test::runCommand(
        dir, std::string("d.svg --settings s.ini -o d.tap ") + c.arguments, "");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    const double figure = brevanto::test::deviationOf(r);
    EXPECT_GE(figure, c.least) << r.err;
    EXPECT_LE(figure, c.within) << r.err;
  }
}
