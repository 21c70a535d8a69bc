#pragma once

#include <cstdint>

namespace brevanto {

// One move of the tool, as the job means it: the stages decide the moves,
// and a sink (the G-code writer, a host's observer) states them. Values are
// exact; a sink rounds them to its own digits.
struct ToolMove {
  enum class Kind : uint8_t { Rapid, Line, ClockwiseArc, CounterClockwiseArc };
  // Which feed the move runs at and states: none (a rapid, or a feed move
  // that keeps the feed in effect), the plunge feed or the cutting feed.
  enum class Feed : uint8_t { Kept, Plunge, Cut };

  Kind kind = Kind::Line;
  Feed feed = Feed::Kept;
  bool hasXY = false;  // the move goes to (x, y); otherwise it keeps X and Y
  bool hasZ = false;   // the move goes to z; otherwise it keeps Z
  double x = 0.0, y = 0.0, z = 0.0;
  // Arcs: the radius about which the arc turns from where the tool stands,
  // negative for the way round longer than a half turn.
  double radius = 0.0;
  // Lasers: the move states the beam's power (the S word), exact; a move
  // without it keeps the power in effect.
  bool hasPower = false;
  double power = 0.0;

  [[nodiscard]] bool isArc() const {
    return kind == Kind::ClockwiseArc || kind == Kind::CounterClockwiseArc;
  }
};

// Where a job's moves go, shape by shape and pass by pass.
class MoveSink {
 public:
  virtual ~MoveSink() = default;
  virtual void beginShape() = 0;
  virtual void move(const ToolMove& move) = 0;
};

}  // namespace brevanto
