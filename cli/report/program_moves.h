#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace brevanto::cli {

// One tool move of a G-code program as the machine runs it.
struct ProgramMove {
  enum class Kind { Rapid, Line, ClockwiseArc, CounterClockwiseArc };
  Kind kind = Kind::Line;
  double fromX = 0.0, fromY = 0.0, fromZ = 0.0;
  double toX = 0.0, toY = 0.0, toZ = 0.0;
  double radius = 0.0;    // arcs: the R word; negative for the longer way round
  double feed = 0.0;      // mm/min in effect (0 for rapids)
  int32_t shape = 0;      // 1, 2, 3... counted at each "( NEXT SHAPE )"; 0 outside shapes
  bool fromKnown = true;  // false for the first move of an axis the program never set

  [[nodiscard]] bool isArc() const {
    return kind == Kind::ClockwiseArc || kind == Kind::CounterClockwiseArc;
  }
  [[nodiscard]] bool isPlunge() const {
    return kind == Kind::Line && fromX == toX && fromY == toY && toZ < fromZ;
  }
  // Length of the path: straight in space, or along the arc in the plane.
  [[nodiscard]] double length() const;
  // Angle the arc sweeps, in radians (0 < angle < 2π).
  [[nodiscard]] double arcSweep() const;
  // Point at `fraction` (0 to 1) of the way along the move.
  void pointAlong(double fraction, double& x, double& y) const;
};

// Reads the moves of a program in the dialect the library writes: optional
// "N" numbers, G00/G01/G02/G03 (modal), X Y Z R F words, comments in
// parentheses. Unknown words are passed over.
std::vector<ProgramMove> readProgramMoves(std::string_view program);

}  // namespace brevanto::cli
