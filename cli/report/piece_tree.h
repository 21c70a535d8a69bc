#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brevanto/nearest_index.h"
#include "report/program_moves.h"

namespace brevanto::cli {

// A piece of a path or a drawing, exactly as it is: a straight line, an arc
// of a circle or a cubic Bezier curve, with the shape it belongs to.
struct Piece {
  enum class Kind { Line, Arc, Cubic };
  Kind kind = Kind::Line;
  PlanePoint p[4];  // a line from p[0] to p[1]; a cubic's four points; an arc's ends in p[0], p[1]
  PlanePoint centre;        // arcs
  double radius = 0.0;      // arcs: at the start
  double endRadius = 0.0;   // arcs: at the end (a spiral between when they differ)
  double startAngle = 0.0;  // arcs
  double sweep = 0.0;       // arcs: signed, positive counter-clockwise
  int32_t shape = 0;

  static Piece line(PlanePoint a, PlanePoint b, int32_t shape);
  // A cutting move of a program: an arc when it turns, else a line.
  static Piece move(const ProgramMove& m);

  // The point at t (0 to 1) along the piece.
  [[nodiscard]] PlanePoint at(double t) const;
  // At least its length (a cubic's by its control polygon).
  [[nodiscard]] double lengthBound() const;
  // Its distance from p: exact for lines and arcs; for a cubic the nearest
  // of nine samples and the minima beside them (Newton's method kept within
  // the interval).
  [[nodiscard]] double distance(PlanePoint p) const;
  // A distance from p to a point of the piece no more than `enough`, found
  // cheaply (a sample of a cubic, an arc's radial distance where p lies
  // within its angles), or infinity when none was found that way: a search
  // that only needs to know whether p lies within `enough` is spared the
  // exact distance.
  [[nodiscard]] double distanceWithin(PlanePoint p, double enough) const;
  // The smallest box holding it (a cubic's control points).
  [[nodiscard]] PlaneBox box() const;
};

// Pieces in the library's nearest-distance index: a tree of their bounding
// boxes, for nearest-distance queries in logarithmic time whether the answer
// is a micron or a metre.
class PieceTree {
 public:
  // `inOrder`: the pieces run along a path, each next to the one before, so
  // neighbours in the list are neighbours in the plane: the tree groups them
  // as they come instead of sorting (the answers are the same either way).
  explicit PieceTree(std::vector<Piece> pieces, bool inOrder = false);

  [[nodiscard]] bool empty() const { return pieces_.empty(); }
  // The pieces, in the tree's order.
  [[nodiscard]] const std::vector<Piece>& pieces() const { return pieces_; }

  // Distance from p to the nearest piece, or, as soon as a piece within
  // `enough` is found, the distance to that one. `hint` is a piece to start
  // from, set to the piece found; `measured` counts the boxes and pieces
  // measured (NearestIndex::nearest).
  double nearest(PlanePoint p, size_t& hint, double enough, size_t& measured) const;

 private:
  std::vector<Piece> pieces_;
  NearestIndex index_;
};

}  // namespace brevanto::cli
