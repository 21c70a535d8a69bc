// sp() against a hostile environment: a settings file that cannot be read or
// is a folder, values with a NUL byte or 10,000 characters, an output folder
// that cannot be written. Each has one documented outcome, and nothing is
// ever written anywhere but the one program file.
//
// Permissions do not stop root, and the tests often run as root: there the
// permission cases run in a child process that first gives up root for the
// unprivileged user "nobody" (uid 65534).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "support/segments.h"
#include "support/settings_source.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using brevanto::test::line;
using brevanto::test::readFileBytes;
using brevanto::test::writeFileBytes;

constexpr uid_t kNobody = 65534;

const std::string kGoodSettings =
    "txtFeedZ=100\ntxtMaxZ=1.5\ntxtDepth=2\ntxtSaveZ=5\ntxtFeedCut=800\n"
    "txtWZNummer=1\ntxtWZDia=3\nPrezision=0.1\n";
// What a store that yields nothing is refused with: the first value is empty.
constexpr const char* kEmptyFeed = "txtFeedZ: \"\" is not a number";

std::set<std::string> filesUnder(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    names.insert(fs::relative(entry.path(), dir).string());
  }
  return names;
}

// Runs `body` in a child process as an unprivileged user when this process
// is root, else in a child as it is. Returns the child's exit status.
int runUnprivileged(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(90);
    _exit(body());
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class HostileEnvironment : public testing::Test {
 protected:
  void SetUp() override {
    // The folder stands for everything the library could touch: the
    // settings file, the program's folder and whatever else.
    fs::permissions(dir_.path(), fs::perms::all);
    settings_ = dir_.file("CNC.ini");
    output_ = dir_.file("out/Brevanto.tap");
    fs::create_directory(dir_.path() / "out");
    fs::permissions(dir_.path() / "out", fs::perms::all);
    setenv("BREVANTO_SETTINGS", settings_.c_str(), 1);
    brevanto::test::setProgramFolder(dir_.file("out"));
  }
  void TearDown() override {
    std::error_code gone;  // some cases remove the folder
    fs::permissions(dir_.path() / "out", fs::perms::all, gone);
  }

  int32_t callSp() {
    static const std::vector<Segment> square = {
        line(0, 0, 10, 0, 10, 1), line(10, 0, 10, 10, 10, 1), line(10, 10, 0, 10, 10, 1),
        line(0, 10, 0, 0, 10, 1)};
    const int32_t last = 3;
    return sp(square.data(), &last);
  }

  // A good program from a first call, to show that a failed call leaves it.
  std::string writeEarlierProgram() {
    writeFileBytes(settings_, kGoodSettings);
    EXPECT_EQ(callSp(), 3);
    return readFileBytes(output_);
  }

  brevanto::test::TempDir dir_;
  std::string settings_;
  std::string output_;
};

TEST_F(HostileEnvironment, UnreadableSettingsFileRefusesAndKeepsTheEarlierProgram) {
  const std::string earlier = writeEarlierProgram();
  ASSERT_FALSE(earlier.empty());
  fs::permissions(settings_, fs::perms::none);
  const std::set<std::string> before = filesUnder(dir_.path());
  const int status = runUnprivileged([this] {
    if (access(settings_.c_str(), R_OK) == 0) return 2;  // still readable: proves nothing
    if (callSp() != BREVANTO_SETTINGS_REFUSED) return 3;
    return std::string(spLastError()) == kEmptyFeed ? 0 : 4;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(readFileBytes(output_), earlier);
  EXPECT_EQ(filesUnder(dir_.path()), before);
}

// A settings path that names no plain file is no store: a folder, a FIFO
// (reading it would block this call, and every other caller behind the job
// lock, forever), an endless device, or a file far too large to be one.
TEST_F(HostileEnvironment, SettingsPathThatIsNoFileRefusesAndKeepsTheEarlierProgram) {
  const std::string earlier = writeEarlierProgram();
  const std::function<void()> makers[] = {
      [this] { fs::create_directory(settings_); },
      [this] { ASSERT_EQ(mkfifo(settings_.c_str(), 0600), 0); },
      [this] { fs::create_symlink("/dev/zero", settings_); },
      [this] { writeFileBytes(settings_, kGoodSettings + std::string(2 << 20, '#')); },
  };
  for (const auto& make : makers) {
    fs::remove_all(settings_);
    make();
    const std::set<std::string> before = filesUnder(dir_.path());
    EXPECT_EQ(callSp(), BREVANTO_SETTINGS_REFUSED);
    EXPECT_STREQ(spLastError(), kEmptyFeed);
    EXPECT_EQ(readFileBytes(output_), earlier);
    EXPECT_EQ(filesUnder(dir_.path()), before);
  }
}

// Values that are not what a settings dialog stores.
TEST_F(HostileEnvironment, OddValues) {
  const std::string tenThousand(10000, '7');
  struct Case {
    const char* name;
    std::string settings;
    int32_t result;
    const char* message;
    const char* inProgram;  // a line the program must hold, or null
  };
  const std::vector<Case> cases = {
      // A settings value is a C string: nothing after a NUL byte counts.
      {"NUL inside a value",
       kGoodSettings + std::string("txtFeedZ=12\0"
                                   "34\n",
                                   15),
       3, "", "N30 G01 Z-1.5000 F12.0 \r\n"},
      // Longer than any store holds: reads as empty, which is not a number.
      {"10,000-character feed", kGoodSettings + "txtFeedZ=" + tenThousand + "\n",
       BREVANTO_SETTINGS_REFUSED, kEmptyFeed, nullptr},
      // The precision never fails: empty reads as 0, the joining's default.
      {"10,000-character precision", kGoodSettings + "Prezision=" + tenThousand + "\n", 3, "",
       "N30 G01 Z-1.5000 F100.0 \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(output_);
    writeFileBytes(settings_, c.settings);
    EXPECT_EQ(callSp(), c.result);
    EXPECT_STREQ(spLastError(), c.message);
    const std::set<std::string> expected =
        c.result >= -1 ? std::set<std::string>{"CNC.ini", "out", "out/Brevanto.tap"}
                       : std::set<std::string>{"CNC.ini", "out"};
    EXPECT_EQ(filesUnder(dir_.path()), expected);
    if (c.inProgram != nullptr) {
      EXPECT_NE(readFileBytes(output_).find(c.inProgram), std::string::npos);
    }
  }
}

TEST_F(HostileEnvironment, ReadOnlyOutputFolderFailsNamingTheFile) {
  writeFileBytes(settings_, kGoodSettings);
  fs::permissions(dir_.path() / "out", fs::perms::owner_read | fs::perms::owner_exec |
                                           fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
  const int status = runUnprivileged([this] {
    if (access((dir_.path() / "out").c_str(), W_OK) == 0) return 2;  // proves nothing
    if (callSp() != BREVANTO_OUTPUT_FAILED) return 3;
    return std::string(spLastError()).find(output_) != std::string::npos ? 0 : 4;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(filesUnder(dir_.path()), (std::set<std::string>{"CNC.ini", "out"}));
}

TEST_F(HostileEnvironment, MissingOutputFolderIsNotCreated) {
  writeFileBytes(settings_, kGoodSettings);
  fs::remove(dir_.path() / "out");
  EXPECT_EQ(callSp(), BREVANTO_OUTPUT_FAILED);
  EXPECT_NE(std::string(spLastError()).find(output_), std::string::npos);
  EXPECT_EQ(filesUnder(dir_.path()), std::set<std::string>{"CNC.ini"});
}

}  // namespace
