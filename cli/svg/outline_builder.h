#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// Collects the outline of one drawn element, already in millimetres, as
// subpaths of lines and cubics. Each subpath that draws anything becomes one
// shape; zero-length pieces are dropped and a closed subpath is finished with
// a line back to its start (an open one too where its area is what shows:
// see pieces()). Coordinates that are not finite or lie beyond
// kMaxCoordinateMm make the outline invalid.
class OutlineBuilder {
 public:
  static constexpr double kMaxCoordinateMm = 1.0e6;  // one kilometre: no machine table is larger
  static constexpr double kSamePointMm = 1.0e-9;     // closer than this counts as the same point

  void moveTo(double x, double y);
  void lineTo(double x, double y);
  void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void close();

  // Number of pieces collected so far.
  [[nodiscard]] size_t pieceCount() const { return pieces_.size(); }
  // Number of subpaths that drew something.
  [[nodiscard]] int32_t subpathCount() const { return subpaths_; }
  [[nodiscard]] bool valid() const { return problem_.empty(); }
  [[nodiscard]] const std::string& problem() const { return problem_; }

  // The collected segments; shapeKey holds the subpath index (0, 1, ...).
  // For a fill that shows (closeOpen), every open subpath that encloses an
  // area ends with a line back to its start: a renderer fills it as if it
  // were closed, so that line is an edge of what is drawn. With dropStraight,
  // subpaths that enclose nothing (all their points on one line) are left
  // out, as a fill without a stroke shows nothing of them; `dropped` tells
  // whether any was. Subpaths are numbered anew from 0 in either case.
  [[nodiscard]] std::vector<Segment> pieces(bool closeOpen = false, bool dropStraight = false,
                                            bool* dropped = nullptr) const;
  // Appends segments in the form pieces() gives with shape keys
  // firstShapeKey, firstShapeKey+1, ... (one per subpath) and the given
  // colour; measures their lengths.
  static void emitPieces(const std::vector<Segment>& pieces, int32_t firstShapeKey, int32_t colour,
                         std::vector<Segment>& out);

 private:
  struct Piece {
    Segment segment;  // kind, points; shapeKey holds the subpath index
  };
  struct Subpath {
    double startX, startY;
    bool closed;
  };
  static bool straight(const std::vector<Piece>& pieces, size_t first, size_t last);
  bool checkPoint(double x, double y);
  void startSubpathIfNeeded();

  std::vector<Piece> pieces_;
  std::vector<Subpath> subpathInfo_;  // by subpath index
  double startX_ = 0.0, startY_ = 0.0;
  double currentX_ = 0.0, currentY_ = 0.0;
  bool hasCurrent_ = false;
  bool subpathDrawn_ = false;  // the current subpath has at least one piece
  int32_t subpaths_ = 0;
  std::string problem_;
};

}  // namespace brevanto::cli
