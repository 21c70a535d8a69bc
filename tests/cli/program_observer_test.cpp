// The moves the job states as it writes (the command's summary, preview and
// fidelity figure take these) are the moves its text says: every golden
// drawing, in every dialect, with and without the cut-out stages, read both
// ways must agree to the last bit.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "brevanto/host.h"
#include "report/program_moves.h"
#include "support/seg_file.h"

namespace brevanto::cli {
namespace {

class MoveList final : public ProgramObserver {
 public:
  void shapeBegins() override { reader_.shapeBegins(); }
  void homeBegins() override { reader_.homeBegins(); }
  void block(const WrittenBlock& block) override {
    if (reader_.apply(block, move_)) moves.push_back(move_);
  }
  std::vector<ProgramMove> moves;

 private:
  ProgramMoveReader reader_;
  ProgramMove move_;
};

bool same(const ProgramMove& a, const ProgramMove& b) {
  return a.kind == b.kind && a.fromX == b.fromX && a.fromY == b.fromY && a.fromZ == b.fromZ &&
         a.toX == b.toX && a.toY == b.toY && a.toZ == b.toZ && a.centreX == b.centreX &&
         a.centreY == b.centreY && a.radius == b.radius && a.startAngle == b.startAngle &&
         a.sweep == b.sweep && a.feed == b.feed && a.power == b.power && a.shape == b.shape &&
         a.pass == b.pass && a.fromKnown == b.fromKnown;
}

TEST(ProgramObserver, StatesTheMovesTheTextSays) {
  const std::filesystem::path dir = std::filesystem::path(BREVANTO_TEST_DATA_DIR) / "golden";
  size_t programs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".seg") continue;
    const std::vector<Segment> segments = test::readSegFile(entry.path().string());
    const std::string ini = std::filesystem::path(entry.path()).replace_extension(".ini").string();
    for (const char* dialect : {"classic", "linuxcnc", "grbl"}) {
      for (const char* offset : {"none", "outside", "laser-fill"}) {
        SCOPED_TRACE(entry.path().filename().string() + " " + dialect + " " + offset);
        const bool laser = offset == std::string("laser-fill");
        const SettingsSource settings = [&](std::string_view name) -> std::string {
          if (laser) {
            if (name == "Kind") return offset;
            if (name == "Overscan") return "1";
            if (name == "ToolOffset") return "none";
          }
          if (name == "Dialect") return dialect;
          if (name == "ToolOffset") return offset;
          if (name == "CutOrder") return offset == std::string("none") ? "" : "inside-first";
          return readSettingsFileValue(ini, name);
        };
        std::ostringstream text;
        MoveList observed;
        const JobReport report =
            runJob(segments, {.settings = settings, .program = &text, .observer = &observed});
        if (!report.ok()) continue;  // a refused case states nothing
        const std::vector<ProgramMove> read = readProgramMoves(text.str());
        ASSERT_EQ(observed.moves.size(), read.size());
        for (size_t i = 0; i < read.size(); ++i) {
          ASSERT_TRUE(same(observed.moves[i], read[i])) << "move " << i;
        }
        ++programs;
      }
    }
  }
  EXPECT_GT(programs, 20U);
}

}  // namespace
}  // namespace brevanto::cli
