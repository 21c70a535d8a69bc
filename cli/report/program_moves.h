#pragma once

#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

#include "brevanto/program_observer.h"

namespace brevanto::cli {

// A point of the plane the program's X and Y words describe.
struct PlanePoint {
  double x = 0.0;
  double y = 0.0;
};

// The centre a machine finds for an arc written with an R word from `from`
// to `to` (see the derivation in program_moves.cpp): on the chord's
// perpendicular bisector, left of the direction of travel for a short
// counter-clockwise arc. A negative R takes the longer way round, which puts
// the centre on the other side.
PlanePoint arcCentreFromRadius(PlanePoint from, PlanePoint to, double r, bool clockwise);

// One tool move of a G-code program as the machine runs it.
struct ProgramMove {
  enum class Kind { Rapid, Line, ClockwiseArc, CounterClockwiseArc };
  Kind kind = Kind::Line;
  double fromX = 0.0, fromY = 0.0, fromZ = 0.0;
  double toX = 0.0, toY = 0.0, toZ = 0.0;
  // Arcs: the centre, the radius (from the centre to the start) and the
  // angle turned, in radians (0 < sweep <= 2π; 0 for an arc that goes
  // nowhere), from startAngle.
  double centreX = 0.0, centreY = 0.0;
  double radius = 0.0;
  // From the centre to the end: an arc by I J whose end lies a little off the
  // circle (within the interpreter's tolerance) is cut as a spiral from
  // `radius` to this, as LinuxCNC cuts it.
  double endRadius = 0.0;
  double startAngle = 0.0;
  double sweep = 0.0;
  double feed = 0.0;      // mm/min in effect (0 for rapids)
  double power = 0.0;     // a laser's S in effect, as stated on motion lines
  int32_t shape = 0;      // 1, 2, 3... counted at each "( NEXT SHAPE )"; 0 outside shapes
  int32_t pass = 0;       // 1, 2, 3... within a shape, counted at each plunge
  bool fromKnown = true;  // false for the first move of an axis the program never set

  [[nodiscard]] bool isArc() const {
    return kind == Kind::ClockwiseArc || kind == Kind::CounterClockwiseArc;
  }
  // An arc that turns: one without a centre (no R, I or J) or of zero
  // radius is taken as the straight move between its ends.
  [[nodiscard]] bool curved() const { return isArc() && sweep > 0.0 && radius > 0.0; }
  [[nodiscard]] bool isPlunge() const {
    return kind == Kind::Line && fromX == toX && fromY == toY && toZ < fromZ;
  }
  // Length of the path: straight in space, or along the arc in the plane.
  [[nodiscard]] double length() const;
  // Point at `fraction` (0 to 1) of the way along the move, in the plane.
  [[nodiscard]] PlanePoint pointAlong(double fraction) const;
};

// The smallest box around points of the plane.
struct PlaneBox {
  double minX = std::numeric_limits<double>::infinity();
  double minY = std::numeric_limits<double>::infinity();
  double maxX = -std::numeric_limits<double>::infinity();
  double maxY = -std::numeric_limits<double>::infinity();
  void add(double x, double y);  // non-finite points are left out
  // The move's whole course in the plane: an arc's bulge included, exactly
  // (its end points and every quarter of the circle it passes).
  void add(const ProgramMove& move);
  // The points where an arc running counter-clockwise from the angle `first`
  // over `sweep` radians reaches the top, bottom, left or right of its circle.
  void addArcExtremes(PlanePoint centre, double radius, double first, double sweep);
};

// Calls `line` with each line of `text`, without its line feed (a carriage
// return before it stays: it is white space to every reader here).
template <typename Line>
void forEachLine(std::string_view text, Line&& line) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    line(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

// Reads a program line by line as it is written, keeping what the machine
// would keep from line to line (position, modal motion, feed, shape and pass
// counts).
class ProgramMoveReader {
 public:
  // True, with `move` set, when `line` moves the tool.
  bool read(std::string_view line, ProgramMove& move);
  // The same for a block the job states as it writes it.
  bool apply(const WrittenBlock& block, ProgramMove& move);
  void shapeBegins();                                     // "( NEXT SHAPE )"
  void homeBegins();                                      // "( HOME POSITION )"
  [[nodiscard]] int32_t shape() const { return shape_; }  // 1, 2, 3... 0 outside shapes

 private:
  double x_ = 0.0, y_ = 0.0, z_ = 0.0, feed_ = 0.0, power_ = 0.0;
  bool xKnown_ = false, yKnown_ = false, zKnown_ = false;
  int motion_ = -1;  // modal G0..G3
  int32_t shape_ = 0;
  int32_t pass_ = 0;
};

// Reads the moves of a program: optional "N" numbers, G00/G01/G02/G03
// (modal), X Y Z F words, arcs by an R word or by their centre as I J
// offsets from the start, comments in parentheses or after ';', and a laser's
// S where it stands on a motion line (a spindle speed apart from any move, the
// router's header, is no beam's power). Other words are passed over.
std::vector<ProgramMove> readProgramMoves(std::string_view program);

}  // namespace brevanto::cli
