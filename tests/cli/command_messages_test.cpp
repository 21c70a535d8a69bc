// What the command says of slips a user makes, and what it leaves at its
// outputs when a file is protected, a link or the run is stopped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/command_run.h"
#include "support/seg_file.h"
#include "support/segments.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using brevanto::test::CommandRun;
using brevanto::test::contains;
using brevanto::test::readFileBytes;
using brevanto::test::TempDir;
using brevanto::test::writeFileBytes;

const std::string kSettings =
    " --settings '" + std::string(BREVANTO_SOURCE_DIR) + "/examples/CNC.ini'";

const char* kSquare =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="50mm" height="50mm" viewBox="0 0 50 50">
<rect x="10" y="10" width="20" height="20"/></svg>
)";

CommandRun brevanto(const TempDir& dir, const std::string& arguments) {
  return brevanto::test::runCommand(dir, arguments, "timeout -s KILL 60");
}

// Each slip gets its exit status and a message that names what is wrong.
TEST(CommandMessages, SlipsAreNamed) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  writeFileBytes(dir.file("d.png"), "\x89PNG\r\n\x1A\n\0\0\0\rIHDR");
  writeFileBytes(dir.file("d.dxf"), "  0\nSECTION\n  2\nHEADER\n");
  const std::string rest = "txtMaxZ=1.5\ntxtDepth=2\ntxtSaveZ=5\ntxtFeedCut=800\ntxtWZNummer=1\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : "txtFeedZ=100\n" + rest) utf16 += std::string{c, '\0'};
  writeFileBytes(dir.file("utf16.ini"), utf16);
  std::string crOnly = "txtFeedZ=100\n" + rest;
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  writeFileBytes(dir.file("cr.ini"), crOnly);
  brevanto::test::writeSegFile(dir.file("far.seg"), {brevanto::test::line(0, 0, 1e300, 0, 10, 1),
                                                     brevanto::test::line(1e300, 0, 0, 0, 10, 1)});
  const struct {
    std::string arguments;
    int status;
    const char* message;
  } cases[] = {
      {"d.svg --dialect grbl --set txtFeedCut=12345.6789" + kSettings, 2,
       "txtFeedCut=12345.6789 (from --set): grbl reads only 8 digits"},
      {"d.svg --tolerance 0x10" + kSettings, 64,
       "--tolerance: give a positive number of mm in decimal digits"},
      {"d.svg --dpi -1" + kSettings, 64, "--dpi: give a positive number of pixels per inch"},
      {"d.svg --max-deviation -1" + kSettings, 64, "--max-deviation: give a number of mm from 0"},
      {"d.svg --settings utf16.ini", 2, "the settings file utf16.ini is UTF-16 text"},
      {"d.svg --settings cr.ini", 2, "the settings file cr.ini ends its lines with CR alone"},
      {"d.png" + kSettings, 1, "d.png: it is a PNG image, not an SVG drawing; brevanto reads SVG"},
      {"d.dxf" + kSettings, 1, "d.dxf:3: the file ends inside the HEADER section (no ENDSEC)"},
      {"far.seg" + kSettings, 1,
       "far.seg: segment 0: its end point lies more than 1000000 mm (a kilometre) from the origin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const CommandRun r = brevanto(dir, c.arguments);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(contains(r.err, c.message)) << r.err;
    EXPECT_LT(r.err.size(), 400U) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir.file("d.tap")));
  EXPECT_FALSE(fs::exists(dir.file("d.nc")));
}

// A read-only program is refused as a shell refuses it; a link, even to a
// file not there yet, has its target written and stays a link.
TEST(CommandOutputSafety, ProtectedAndLinkedOutputs) {
  TempDir dir;
  writeFileBytes(dir.file("d.svg"), kSquare);
  ASSERT_EQ(
      std::system(("cd '" + dir.path().string() +
                   "' && echo earlier > ro.tap && chmod 0444 ro.tap && ln -s new.tap link.tap")
                      .c_str()),
      0);
  const CommandRun readOnly = brevanto(dir, "-q d.svg -o ro.tap" + kSettings);
  EXPECT_EQ(readOnly.status, 3);
  EXPECT_TRUE(contains(readOnly.err, "cannot write the program ro.tap: Permission denied"))
      << readOnly.err;
  EXPECT_EQ(readFileBytes(dir.file("ro.tap")), "earlier\n");
  ASSERT_EQ(brevanto(dir, "-q d.svg -o link.tap" + kSettings).status, 0);
  EXPECT_TRUE(fs::is_symlink(dir.file("link.tap")));
  EXPECT_TRUE(readFileBytes(dir.file("new.tap")).ends_with("M30\r\n"));
}

// Ctrl-C or a SIGTERM during a long job ends the command as the signal does,
// with no hidden file left beside the output and the earlier program whole.
TEST(CommandOutputSafety, StoppedRunLeavesNoStagedFile) {
  TempDir dir;
  std::string path = R"(<svg xmlns="http://www.w3.org/2000/svg" width="100mm" height="100mm">)";
  path += R"(<path stroke="black" d="M0 0)";
  for (int i = 0; i < 300000; ++i)
    path += " L" + std::to_string(i % 97) + " " + std::to_string(i % 89);
  writeFileBytes(dir.file("long.svg"), path + "\"/></svg>\n");
  const std::string settings = std::string(BREVANTO_SOURCE_DIR) + "/examples/CNC.ini";
  for (const int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal);
    writeFileBytes(dir.file("long.tap"), "earlier\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execl(BREVANTO_CLI_EXECUTABLE, "brevanto", "-q", dir.file("long.svg").c_str(), "--settings",
            settings.c_str(), "--tolerance", "none", static_cast<char*>(nullptr));
      _exit(127);
    }
    bool staged = false;
    for (int i = 0; i < 4000 && !staged; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        // Written to: the command has armed its clean-up by then.
        staged |=
            entry.path().filename().string().starts_with(".long.tap") && entry.file_size() > 0;
      }
    }
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(staged) << "the run ended before it could be stopped";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path();
    }
    EXPECT_EQ(readFileBytes(dir.file("long.tap")), "earlier\n");
  }
}

}  // namespace
