// The command against hostile files and slips: nothing half-written, no
// output over the drawing or over another output, no hang or unbounded read,
// settings checked by name, and drawings that used to take minutes.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/command_run.h"
#include "support/temp_dir.h"

namespace {

using brevanto::test::CommandRun;
using brevanto::test::contains;
using brevanto::test::readFileBytes;
using brevanto::test::TempDir;
using brevanto::test::writeFileBytes;

const std::string kExamples = std::string(BREVANTO_SOURCE_DIR) + "/examples";
const std::string kSettings = " --settings '" + kExamples + "/CNC.ini'";

const char* kSquare =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" viewBox="0 0 50 50">
<rect x="10" y="10" width="20" height="20"/></svg>
)";

// Runs the command in `dir`, never longer than a minute.
CommandRun brevanto(const TempDir& dir, const std::string& arguments, const std::string& env = "") {
  return brevanto::test::runCommand(dir, arguments, env + " timeout -s KILL 60");
}

// Circles, the program of which runs to some 100 KB.
std::string circles(int count) {
  std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="500mm" height="500mm">)";
  for (int i = 0; i < count; ++i) {
    svg += "<circle cx=\"" + std::to_string(20 + i % 20 * 20) + "\" cy=\"" +
           std::to_string(20 + i / 20 * 20) + "\" r=\"8\"/>\n";
  }
  return svg + "</svg>\n";
}

// A failed or killed write leaves the earlier program as it was.
TEST(WriteSafety, EarlierProgramSurvivesAFailedWrite) {
  TempDir dir;
  writeFileBytes(dir.file("many.svg"), circles(200));
  const std::string earlier = "(an earlier good program)\r\nM30\r\n";
  const struct {
    const char* name;
    std::string shell;  // before the command
    int status;
  } cases[] = {
      // ulimit -f counts KiB: the program outgrows it half way. By default
      // the kernel then kills the command (as a kill during the write would);
      // with the signal ignored the write fails and the command says so.
      {"killed half way", "ulimit -f 8;", -1},
      {"write refused half way", "ulimit -f 8; trap '' XFSZ;", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFileBytes(dir.file("many.tap"), earlier);
    const CommandRun r = brevanto(dir, "-q many.svg" + kSettings, c.shell);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(readFileBytes(dir.file("many.tap")), earlier);
  }
  EXPECT_TRUE(contains(brevanto(dir, "-q many.svg" + kSettings, "ulimit -f 8; trap '' XFSZ;").err,
                       "cannot write the program many.tap: File too large"));
  // And without the limit the program replaces it whole.
  ASSERT_EQ(brevanto(dir, "-q many.svg" + kSettings).status, 0);
  EXPECT_TRUE(contains(readFileBytes(dir.file("many.tap")), "M30\r\n"));
}

// grbl's digit limit refuses a far shape as its blocks are written, after
// the near ones: the earlier program, and standard output, get none of them.
TEST(WriteSafety, GrblRefusalPartWayLeavesTheTargetAsItWas) {
  TempDir dir;
  std::string svg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="20000mm" height="500mm")"
                    R"( viewBox="0 0 20000 500">)";
  for (int i = 0; i < 40; ++i) {
    svg += "<circle cx=\"" + std::to_string(20 + i * 20) + "\" cy=\"20\" r=\"8\"/>\n";
  }
  writeFileBytes(dir.file("far.svg"),
                 svg + R"(<path d="M10 10 L12345.67891 20" stroke="#000"/></svg>)");
  const std::string earlier = "(an earlier good program)\r\nM30\r\n";
  writeFileBytes(dir.file("far.nc"), earlier);
  for (const char* output : {"far.nc", "-"}) {
    const CommandRun r =
        brevanto(dir, std::string("--dialect grbl -o ") + output + " far.svg" + kSettings);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(contains(r.err, "X12345.6789 has more digits than the controller reads")) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(readFileBytes(dir.file("far.nc")), earlier);
}

TEST(CommandOutputs, NoOutputOverwritesTheDrawingOrAnother) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  ASSERT_EQ(
      std::system(("cd '" + dir.path().string() + "' && ln d.svg hard.svg && ln -s d.svg link.svg")
                      .c_str()),
      0);
  const struct {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"--preview d.svg", "the preview d.svg would overwrite the drawing d.svg"},
      {"--dump-segments ./d.svg", "the segment dump ./d.svg would overwrite the drawing d.svg"},
      {"-o hard.svg", "the program hard.svg would overwrite the drawing d.svg"},
      {"--preview link.svg", "the preview link.svg would overwrite the drawing d.svg"},
      {"-o same.tap --preview same.tap", "the preview same.tap would overwrite the program"},
      {"--preview d.tap", "the preview d.tap would overwrite the program d.tap"},
      {"-o - --dump-segments x.seg --preview ../" + dir.path().filename().string() + "/x.seg",
       "the segment dump x.seg would overwrite the preview"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CommandRun r = brevanto(dir, "d.svg " + c.arguments + kSettings);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_EQ(readFileBytes(dir.file("d.svg")), kSquare);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("same.tap")));
}

// Anything but a regular file of a sane size is refused at once, with the
// exit status of its kind: 1 for the drawing, 2 for the settings.
TEST(HostileFiles, RefusedWithoutHangingOrReadingWithoutEnd) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  writeFileBytes(dir.file("huge.ini"), std::string((1 << 20) + 1, '#'));
  ASSERT_EQ(std::system(
                ("cd '" + dir.path().string() + "' && mkdir folder.svg && mkfifo fifo.svg fifo.ini")
                    .c_str()),
            0);
  const struct {
    std::string arguments;
    std::string env;
    int status;
    const char* message;
  } cases[] = {
      {"folder.svg" + kSettings, "", 1, "cannot read folder.svg: it is a folder"},
      {"fifo.svg" + kSettings, "", 1, "cannot read fifo.svg: it is a FIFO"},
      {"/dev/zero" + kSettings, "", 1, "cannot read /dev/zero: it is a device"},
      {"d.svg --settings folder.svg", "", 2,
       "the settings file folder.svg cannot be read: it is a folder"},
      {"d.svg --settings fifo.ini", "", 2,
       "the settings file fifo.ini cannot be read: it is a FIFO"},
      {"d.svg", "BREVANTO_SETTINGS=fifo.ini", 2, "fifo.ini cannot be read: it is a FIFO"},
      {"d.svg --settings /dev/zero", "", 2, "it is a device"},
      {"d.svg --settings huge.ini", "", 2, "it is larger than 1 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CommandRun r = brevanto(dir, c.arguments, c.env);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
  }
}

// Each refusal names the setting, its value and where it came from, and says
// what to write instead; the library alone would have cut with a wrong value.
TEST(CommandSettings, ValuesAreCheckedByName) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  writeFileBytes(dir.file("d.tap"), "earlier\n");
  const struct {
    const char* set;
    const char* message;
  } cases[] = {
      {"txtMaxZ=0,5",
       "txtMaxZ=0,5 (from --set): not a plain decimal number; use a decimal "
       "point, not a comma: txtMaxZ=0.5"},
      {"txtFeedZ=0x10",
       "txtFeedZ=0x10 (from --set): not a plain decimal number; write the "
       "number in decimal digits"},
      {"txtDepth=2mm", "without a unit: txtDepth=2"},
      {"txtWZDia=1/8",
       "txtWZDia=1/8 (from --set): not a plain decimal number; give a number, with"},
      {"txtDepth=0,5,1", "txtDepth=0,5,1 (from --set): not a plain decimal number; give a number"},
      {"txtDepth=nan", "txtDepth=nan (from --set): not a plain decimal number; give a finite"},
      {"txtFeedCut=-inf", "give a finite number"},
      {"txtWZNummer=1e10",
       "txtWZNummer=1e10 (from --set): must be a whole number from 1 to "
       "9999 (tool number); for example txtWZNummer=1"},
      {"txtWZNummer=0", "a whole number from 1 to 9999"},
      {"txtWZNummer=2.5", "a whole number from 1 to 9999"},
      {"txtSaveZ=-5", "txtSaveZ=-5 (from --set): must be above the surface"},
      {"txtFeedCut=0", "txtFeedCut=0 (from --set): must be more than 0"},
      {"txtFeedZ=1e9", "must be more than 0 and at most 100000"},
      {"Prezision=nan", "Prezision=nan (from --set): not a plain decimal number; give a finite"},
      {"Prezision=0", "Prezision=0 (from --set): must be a finite number above 0"},
      {"Prezision=-3", "a finite number above 0, or empty for the default"},
      {"txtDepth=", "txtDepth= (from --set): empty; give total depth, mm"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    const CommandRun r = brevanto(dir, std::string("d.svg --set '") + c.set + "'" + kSettings);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(contains(r.err, "brevanto: setting refused: ") && contains(r.err, c.message))
        << r.err;
  }
  EXPECT_EQ(readFileBytes(dir.file("d.tap")), "earlier\n");
  // Values that are fine as they stand.
  for (const char* set : {"txtMaxZ=-0.5", "txtDepth=+2", "Prezision=", "txtFeedZ=1.5e2",
                          "txtWZNummer=9999", "txtSaveZ= 5"}) {
    SCOPED_TRACE(set);
    EXPECT_EQ(brevanto(dir, std::string("-q d.svg --set '") + set + "'" + kSettings).status, 0);
  }
}

TEST(CommandSettings, TheFileIsReadAsDocumented) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  const std::string rest =
      "txtMaxZ=1.5\ntxtDepth=2\ntxtSaveZ=5\ntxtFeedCut=800\ntxtWZNummer=1\ntxtWZDia=3\n";
  const struct {
    const char* name;
    std::string file;
    int status;
    const char* message;  // in the output of --show-settings, or the refusal
  } cases[] = {
      {"byte-order mark", "\xEF\xBB\xBFtxtFeedZ=150\n" + rest, 0, "(from s.ini:1)\ntxtFeedZ=150\n"},
      {"the documented section", "; comment\n[CNC]\ntxtFeedZ=150\r\n" + rest, 0,
       "(from s.ini:3)\ntxtFeedZ=150\n"},
      {"another section", "[CNC]\ntxtFeedZ=150\n" + rest + "[Laser]\ntxtFeedZ=9000\n", 2,
       "s.ini:9: section [Laser]: a settings file holds [CNC]"},
      {"a value with a line", "txtFeedZ=150\n" + rest + "txtSaveZ=-2\n", 2,
       "txtSaveZ=-2 (from s.ini:8)"},
      {"a missing value", rest, 2,
       "txtFeedZ (plunge feed, mm/min) is missing from s.ini: add a line such as txtFeedZ=100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    writeFileBytes(dir.file("s.ini"), c.file);
    const CommandRun r = brevanto(dir, "--show-settings --settings s.ini");
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
  }
}

// A straight cubic is cut as straight moves: the figure measures them.
TEST(HostileDrawings, StraightCubicIsNoFalseAlarm) {
  TempDir dir;
  writeFileBytes(
      dir.file("s.svg"),
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" viewBox="0 0 50 50">
<path d="M 10 10 C 20 10 30 10 40 10" stroke="black"/></svg>
)");
  const CommandRun r = brevanto(dir, "s.svg --max-deviation 0.001" + kSettings);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "largest deviation ............... 0.0000 mm")) << r.err;
}

// Drawings that once took minutes in the command's own work: thousands of
// identical circles on top of one another, and one polygon of a million
// points. Smaller in unoptimised and sanitizer builds, where only the growth
// matters.
TEST(HostileDrawings, LargeDrawingsFinishQuickly) {
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
  const int scale = 1;
#else
  const int scale = 10;
#endif
  TempDir dir;
  std::string stacked = R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm">)";
  for (int i = 0; i < 4000 / scale; ++i) stacked += "<circle cx=\"50\" cy=\"50\" r=\"30\"/>\n";
  writeFileBytes(dir.file("stacked.svg"), stacked + "</svg>\n");
  // Two-digit coordinates, as small exports write them: some 6 MB of lines
  // criss-crossing a small square.
  std::string polygon =
      R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm"><polygon points=")";
  for (int i = 0; i < 1000000 / scale; ++i) {
    polygon += std::to_string(i % 97) + "," + std::to_string(i % 89) + " ";
  }
  writeFileBytes(dir.file("polygon.svg"), polygon + "\"/></svg>\n");
  // 2 kB of use references nested thirty deep stand for a billion paths:
  // refused up front, before any is visited.
  std::string nested =
      R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" width="100mm" height="100mm"><defs><path id="u0" d="M0 0 L1 1" stroke="black"/>)";
  for (int i = 1; i < 30; ++i) {
    const std::string inner = "<use xlink:href=\"#u" + std::to_string(i - 1) + "\"/>";
    nested += "<g id=\"u" + std::to_string(i) + "\">" + inner + inner + "</g>";
  }
  writeFileBytes(dir.file("nested.svg"), nested + "</defs><use xlink:href=\"#u29\"/></svg>\n");
  // The ctest time limit catches a drawing that no longer finishes.
  const struct {
    const char* drawing;
    int status;
    const char* says;
  } cases[] = {{"stacked.svg", 0, ""},
               {"polygon.svg", 0, ""},
               {"nested.svg", 1, "elements once its use references are expanded"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.drawing);
    const CommandRun r = brevanto(dir, std::string("-q ") + c.drawing + kSettings);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.says)) << r.err;
  }
}

}  // namespace
