#pragma once

#include <string>

#include "brevanto/program_observer.h"
#include "gcode/dialect.h"
#include "gcode/gcode_writer.h"
#include "geometry/point2.h"
#include "toolpath/tool_move.h"

namespace brevanto {

// The centre a controller finds for an R-format arc from `from` to `to` (both
// as written) with the radius `radius` as written (negative: the long way
// round).
Point2 centreOfRadiusArc(Point2 from, Point2 to, double radius, bool clockwise);

// States a job's moves as G-code blocks in the dialect of the settings,
// through the job's block composer, and tells an observer (when there is one)
// each block as written.
//   - A rapid is G00 with the axes it moves; a line G01; an arc G02/G03 with
//     R, or with the centre an R word would give from the written ends (I J),
//     so that every dialect cuts the same path to the last digit.
//   - The plunge feed is stated with one decimal, the cutting feed with four:
//     the 32-bit values widened.
//   - A laser program (settings.laser()) has its own header and footer and
//     states the power where a move carries it, in the dialect's beam words.
class GcodeSink final : public MoveSink {
 public:
  GcodeSink(const JobSettings& settings, GcodeWriter& writer, ProgramObserver* observer = nullptr);

  void beginShape() override;
  void move(const ToolMove& move) override;

  // The opening lines (tool change included) and the closing ones.
  void writeHeader();
  void writeFooter();

  // From here on the moves are cut with `next`'s feeds: an operation's
  // settings. With another tool (or spindle speed, or coolant) the tool goes
  // up to the clearance height and the change is made in the dialect's
  // words, the spindle and coolant started again. True when the tool was
  // changed. `next` must outlive the sink's use of it.
  bool useSettings(const JobSettings& next);

 private:
  void number(char letter, double value, bool& has, double& written);
  void feedWord(const ToolMove& move);
  void rawMove(std::string& line, const WrittenBlock& block);
  void powerWords(const ToolMove& move);
  void writeLaserHeader();
  void writeLaserFooter();

  void restartSpindle();
  void setFeeds();

  const JobSettings* settings_;
  const DialectRules& rules_;
  GcodeWriter& writer_;
  ProgramObserver* observer_;
  std::string plungeFeed_, cutFeed_;
  double plungeFeedValue_ = 0.0, cutFeedValue_ = 0.0;
  Point2 at_{};  // where the tool stands, as written
  WrittenBlock block_{};
  bool beamOn_ = false;  // dialects with beam words: maybe on since the last beamOff
};

}  // namespace brevanto
