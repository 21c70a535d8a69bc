#pragma once

#include <cstddef>
#include <vector>

#include "report/program_moves.h"

namespace brevanto::cli {

// Straight pieces in a tree of bounding boxes (split at the median of the
// wider side), for nearest-distance queries in logarithmic time whether the
// answer is a micron or a metre.
class PieceTree {
 public:
  struct Piece {
    PlanePoint a, b;
  };

  explicit PieceTree(std::vector<Piece> pieces);

  [[nodiscard]] bool empty() const { return pieces_.empty(); }

  // Distance from p to the nearest piece. `hint` is a piece to start from
  // (neighbouring points have near neighbours, and a close first guess prunes
  // most of the tree); it is set to the nearest piece.
  double nearest(PlanePoint p, size_t& hint) const;

  // Distance from p to one piece.
  [[nodiscard]] double distanceTo(PlanePoint p, size_t piece) const {
    return toPiece(p, pieces_[piece]);
  }

 private:
  struct Node {
    double minX, minY, maxX, maxY;
    size_t begin, end;
    size_t left = 0, right = 0;  // 0: a leaf (the root is never a child)
  };
  static constexpr size_t kLeafSize = 8;

  size_t build(size_t begin, size_t end);
  static double boxDistance(PlanePoint p, const Node& n);
  static double toPiece(PlanePoint p, const Piece& s);

  std::vector<Piece> pieces_;
  std::vector<Node> nodes_;
};

}  // namespace brevanto::cli
