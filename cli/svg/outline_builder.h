#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// Collects the outline of one drawn element, already in millimetres, as
// subpaths of lines and cubics. Each subpath that draws anything becomes one
// shape; zero-length pieces are dropped and a closed subpath is finished with
// a line back to its start. Coordinates that are not finite or lie beyond
// kMaxCoordinateMm make the outline invalid.
class OutlineBuilder {
 public:
  static constexpr double kMaxCoordinateMm = 1.0e6;  // one kilometre: no machine table is larger
  static constexpr double kSamePointMm = 1.0e-9;     // closer than this counts as the same point

  void moveTo(double x, double y);
  void lineTo(double x, double y);
  void cubicTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void close();

  // Number of subpaths that drew something.
  [[nodiscard]] int32_t subpathCount() const { return subpaths_; }
  [[nodiscard]] bool valid() const { return problem_.empty(); }
  [[nodiscard]] const std::string& problem() const { return problem_; }

  // Appends the segments with shape keys firstShapeKey, firstShapeKey+1, ...
  // (one per subpath) and the given colour; measures their lengths.
  void emit(int32_t firstShapeKey, int32_t colour, std::vector<Segment>& out) const;

  // The collected segments; shapeKey holds the subpath index (0, 1, ...).
  [[nodiscard]] std::vector<Segment> pieces() const;
  // emit() for segments in the form pieces() gives.
  static void emitPieces(const std::vector<Segment>& pieces, int32_t firstShapeKey, int32_t colour,
                         std::vector<Segment>& out);

 private:
  struct Piece {
    Segment segment;  // kind, points; shapeKey holds the subpath index
  };
  bool checkPoint(double x, double y);
  void startSubpathIfNeeded();

  std::vector<Piece> pieces_;
  double startX_ = 0.0, startY_ = 0.0;
  double currentX_ = 0.0, currentY_ = 0.0;
  bool hasCurrent_ = false;
  bool subpathDrawn_ = false;  // the current subpath has at least one piece
  int32_t subpaths_ = 0;
  std::string problem_;
};

}  // namespace brevanto::cli
