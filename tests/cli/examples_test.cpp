// The example drawings: hand-computed segments for the small ones, and a
// stable program for every one of them.
//
// Regenerate the golden programs after an intended change of the output:
//   BREVANTO_UPDATE_GOLDEN=1 build/dev/tests/brevanto_cli_tests --gtest_filter='Examples.*'
// and review the difference with git diff tests/cli/golden/.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "svg/svg_import.h"

namespace brevanto::cli {
namespace {

const std::string kExamples = std::string(BREVANTO_SOURCE_DIR) + "/examples/";
const std::string kGolden = std::string(BREVANTO_TEST_DATA_DIR) + "/cli/golden/";

ImportResult importExample(const std::string& name) {
  return importSvg(test::readFileBytes(kExamples + name), {});
}

struct Piece {
  int kind;
  double x0, y0, x1, y1, x2, y2, x3, y3;
  int shape;
};

void expectPieces(const ImportResult& r, const std::vector<Piece>& want, int32_t colour) {
  ASSERT_TRUE(r.ok()) << r.error;
  ASSERT_EQ(r.segments.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("segment " + std::to_string(i));
    const Segment& s = r.segments[i];
    const Piece& w = want[i];
    EXPECT_EQ(s.kind, w.kind);
    EXPECT_EQ(s.shapeKey, w.shape);
    EXPECT_EQ(s.colour, colour);
    for (auto [got, expected] : {std::pair{s.x0, w.x0}, {s.y0, w.y0}, {s.x3, w.x3}, {s.y3, w.y3}}) {
      EXPECT_NEAR(got, expected, 1e-9);
    }
    if (w.kind == 1) {
      for (auto [got, expected] :
           {std::pair{s.x1, w.x1}, {s.y1, w.y1}, {s.x2, w.x2}, {s.y2, w.y2}}) {
        EXPECT_NEAR(got, expected, 1e-9);
      }
    } else {
      EXPECT_NEAR(s.length, std::hypot(w.x3 - w.x0, w.y3 - w.y0), 1e-5);
    }
  }
}

// Handle length of a quarter circle of radius r drawn as one cubic.
double handle(double r) {
  return r * 4.0 / 3.0 * std::tan(M_PI / 8.0);
}

TEST(Examples, SquareSegments) {
  // Page 60 mm high: SVG y 10 is machine y 50.
  expectPieces(importExample("square.svg"),
               {{0, 10, 50, 0, 0, 0, 0, 50, 50, 1},
                {0, 50, 50, 0, 0, 0, 0, 50, 10, 1},
                {0, 50, 10, 0, 0, 0, 0, 10, 10, 1},
                {0, 10, 10, 0, 0, 0, 0, 10, 50, 1}},
               0);
}

TEST(Examples, CircleSegments) {
  // From the rightmost point; SVG's positive sweep runs through +y, which
  // is downwards on the page and so clockwise on the machine.
  const double k = handle(20);
  expectPieces(importExample("circle.svg"),
               {{1, 50, 30, 50, 30 - k, 30 + k, 10, 30, 10, 1},
                {1, 30, 10, 30 - k, 10, 10, 30 - k, 10, 30, 1},
                {1, 10, 30, 10, 30 + k, 30 - k, 50, 30, 50, 1},
                {1, 30, 50, 30 + k, 50, 50, 30 + k, 50, 30, 1}},
               255 * 65536);
}

TEST(Examples, RoundedRectangleSegments) {
  // Page 60 high; the plate spans y 10..50 on the machine too.
  const double k = handle(8);
  expectPieces(importExample("rounded-rect.svg"),
               {{0, 18, 50, 0, 0, 0, 0, 82, 50, 1},
                {1, 82, 50, 82 + k, 50, 90, 42 + k, 90, 42, 1},
                {0, 90, 42, 0, 0, 0, 0, 90, 18, 1},
                {1, 90, 18, 90, 18 - k, 82 + k, 10, 82, 10, 1},
                {0, 82, 10, 0, 0, 0, 0, 18, 10, 1},
                {1, 18, 10, 18 - k, 10, 10, 18 - k, 10, 18, 1},
                {0, 10, 18, 0, 0, 0, 0, 10, 42, 1},
                {1, 10, 42, 10, 42 + k, 18 - k, 50, 18, 50, 1}},
               0);
}

TEST(Examples, TransformedGroupSegments) {
  // (x, y) -> rotate 90: (-y, x) -> scale 2 -> translate (50, 50) -> flip on
  // the 100 mm page: (50 - 2y, 50 - 2x).
  expectPieces(importExample("transformed-group.svg"),
               {{0, 50, 50, 0, 0, 0, 0, 50, 30, 1},
                {0, 50, 30, 0, 0, 0, 0, 30, 50, 1},
                {0, 30, 50, 0, 0, 0, 0, 50, 50, 1}},
               0);
}

TEST(Examples, LargerDrawingsReadAsExpected) {
  const struct {
    const char* file;
    int32_t shapes;
    size_t distinctColours;
  } cases[] = {{"logo.svg", 4, 2},
               {"glyphs.svg", 7, 1},
               {"gear.svg", 2, 1},
               {"colours.svg", 7, 7},
               {"arc-270.svg", 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ImportResult r = importExample(c.file);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.shapes, c.shapes);
    std::vector<int32_t> colours;
    for (const Segment& s : r.segments) {
      if (std::find(colours.begin(), colours.end(), s.colour) == colours.end()) {
        colours.push_back(s.colour);
      }
    }
    EXPECT_EQ(colours.size(), c.distinctColours);
  }
}

// Every example through the command gives the program kept under golden/.
TEST(Examples, ProgramsAreStable) {
  const bool update = std::getenv("BREVANTO_UPDATE_GOLDEN") != nullptr;
  test::TempDir dir;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".svg") continue;
    const std::string name = entry.path().stem().string();
    SCOPED_TRACE(name);
    const std::string program = dir.file(name + ".tap");
    const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE +
                                "' -q --tolerance none --settings '" + kExamples + "CNC.ini' -o '" +
                                program + "' '" + entry.path().string() + "'";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;
    const std::string golden = kGolden + name + ".tap";
    if (update) {
      test::writeFileBytes(golden, test::readFileBytes(program));
      continue;
    }
    const std::string expected = test::readFileBytes(golden);
    ASSERT_FALSE(expected.empty()) << "no golden program " << golden;
    EXPECT_TRUE(test::readFileBytes(program) == expected) << "differs from " << golden;
  }
}

// Laser programs of three examples, so that a change of their bytes is seen:
// a fill with overscan on grbl, a cut in passes on LinuxCNC, a fill and a
// cut by operations in one program.
TEST(Examples, LaserProgramsAreStable) {
  const bool update = std::getenv("BREVANTO_UPDATE_GOLDEN") != nullptr;
  test::TempDir dir;
  const struct {
    const char* drawing;
    const char* settings;
    const char* golden;
  } cases[] = {
      {"logo",
       "--set Kind=laser-fill --set Power=30 --set LineInterval=1 --set FillAngle=45 "
       "--set Overscan=1.5",
       "logo-laser-fill.nc"},
      {"rounded-rect",
       "--dialect linuxcnc --set Machine=laser --set Passes=2 --set AirAssist=on "
       "--set FocusZ=12",
       "rounded-rect-laser-cut.ngc"},
      {"colours",
       "--operation stars:Select=stroke:#d02020 --operation stars:Kind=laser-fill "
       "--operation stars:Power=30 --operation stars:LineInterval=0.5 --operation frame:Select=all "
       "--operation frame:Kind=laser-cut --operation frame:Power=80 --operation frame:Passes=2",
       "colours-laser-operations.nc"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.golden);
    const std::string program = dir.file(c.golden);
    const std::string command = std::string("'") + BREVANTO_CLI_EXECUTABLE + "' -q --settings '" +
                                kExamples + "CNC.ini' --set Dialect= " + c.settings + " -o '" +
                                program + "' '" + kExamples + c.drawing + ".svg'";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;
    if (update) test::writeFileBytes(kGolden + c.golden, test::readFileBytes(program));
    EXPECT_TRUE(test::readFileBytes(program) == test::readFileBytes(kGolden + c.golden))
        << "differs from " << kGolden << c.golden;
  }
}

}  // namespace
}  // namespace brevanto::cli
