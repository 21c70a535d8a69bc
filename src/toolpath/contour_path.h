#pragma once

#include <cstddef>
#include <vector>

#include "geometry/point2.h"

namespace brevanto {

// One move of a pass in the plane, as a controller runs it: a line, or an
// arc about `centre` turning `sweep` radians in its sense.
struct PathPiece {
  Point2 from{};
  Point2 to{};
  bool arc = false;
  bool clockwise = false;
  Point2 centre{};
  double radius = 0.0;
  double sweep = 0.0;
  double length = 0.0;
  double startS = 0.0;  // distance along the path to `from`
};

// The point `along` mm from the piece's start, and its unit direction of
// travel there.
Point2 pointOn(const PathPiece& piece, double along);
Point2 directionOn(const PathPiece& piece, double along);

// The path one pass of a shape cuts, measured along its length, so that
// tabs, ramps and leads can be placed on it by distance.
class ContourPath {
 public:
  void addLine(Point2 from, Point2 to);
  // An arc from `from` to `to` about `centre`; the turn is the one its
  // ends and sense give (more than half a turn where the centre says so).
  void addArc(Point2 from, Point2 to, Point2 centre, bool clockwise);

  [[nodiscard]] double length() const { return length_; }
  [[nodiscard]] const std::vector<PathPiece>& pieces() const { return pieces_; }
  [[nodiscard]] bool empty() const { return pieces_.empty(); }
  // The piece that holds the distance s (at a junction, the one that starts
  // there; at the end, the last).
  [[nodiscard]] size_t pieceAt(double s) const;
  [[nodiscard]] Point2 pointAt(double s) const;
  [[nodiscard]] Point2 directionAt(double s) const;
  [[nodiscard]] Point2 start() const { return pieces_.front().from; }

 private:
  std::vector<PathPiece> pieces_;
  double length_ = 0.0;
};

}  // namespace brevanto
