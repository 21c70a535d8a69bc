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
      {"set on the command line", "", "--operation blue:Select=stroke:#0000ff", 0,
       "1 shape(s) (1) not cut"},
      {"tabs on one operation's parts", "[operation all]\nSelect=all\nSide=outside\nTabs=2\n", "",
       0, "holding tabs .................... 2"},
      {"a tab count checked as the base one", "[operation all]\nSelect=all\nTabs=-1\n", "", 2,
       "operation all: Tabs=-1: must be a whole number from 0 to 1000"},
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
    const CommandRun r =
        brevanto::test::runCommand(dir, "d.svg -o d.tap --settings s.ini " + c.arguments, "");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
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
