#include "outline_builder.h"

#include <cmath>
#include <cstdio>

#include "curve_length.h"

namespace brevanto::cli {
namespace {

bool samePoint(double ax, double ay, double bx, double by) {
  return std::fabs(ax - bx) <= OutlineBuilder::kSamePointMm &&
         std::fabs(ay - by) <= OutlineBuilder::kSamePointMm;
}

}  // namespace

bool OutlineBuilder::checkPoint(double x, double y) {
  if (!problem_.empty()) return false;
  if (std::isfinite(x) && std::isfinite(y) && std::fabs(x) <= kMaxCoordinateMm &&
      std::fabs(y) <= kMaxCoordinateMm) {
    return true;
  }
  char text[160];
  std::snprintf(text, sizeof text,
                "coordinate (%g, %g) mm is not a number or lies beyond %g mm from the origin", x, y,
                kMaxCoordinateMm);
  problem_ = text;
  return false;
}

void OutlineBuilder::moveTo(double x, double y) {
  if (!checkPoint(x, y)) return;
  startX_ = currentX_ = x;
  startY_ = currentY_ = y;
  hasCurrent_ = true;
  subpathDrawn_ = false;
}

// Drawing after a close (or without any move) continues from the current
// point as a new subpath.
void OutlineBuilder::startSubpathIfNeeded() {
  if (!subpathDrawn_) {
    subpathDrawn_ = true;
    ++subpaths_;
  }
}

void OutlineBuilder::lineTo(double x, double y) {
  if (!checkPoint(x, y)) return;
  if (!hasCurrent_) {
    moveTo(x, y);
    return;
  }
  if (!samePoint(currentX_, currentY_, x, y)) {
    startSubpathIfNeeded();
    Segment s{};
    s.x0 = currentX_;
    s.y0 = currentY_;
    s.x3 = x;
    s.y3 = y;
    s.kind = 0;
    s.shapeKey = subpaths_ - 1;
    pieces_.push_back({s});
  }
  currentX_ = x;
  currentY_ = y;
}

void OutlineBuilder::cubicTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  if (!checkPoint(x1, y1) || !checkPoint(x2, y2) || !checkPoint(x3, y3)) return;
  if (!hasCurrent_) moveTo(currentX_, currentY_);
  const bool degenerate = samePoint(currentX_, currentY_, x1, y1) &&
                          samePoint(currentX_, currentY_, x2, y2) &&
                          samePoint(currentX_, currentY_, x3, y3);
  if (!degenerate) {
    startSubpathIfNeeded();
    Segment s{};
    s.x0 = currentX_;
    s.y0 = currentY_;
    s.x1 = x1;
    s.y1 = y1;
    s.x2 = x2;
    s.y2 = y2;
    s.x3 = x3;
    s.y3 = y3;
    s.kind = 1;
    s.shapeKey = subpaths_ - 1;
    pieces_.push_back({s});
  }
  currentX_ = x3;
  currentY_ = y3;
}

void OutlineBuilder::close() {
  if (!hasCurrent_ || !problem_.empty()) return;
  if (subpathDrawn_) lineTo(startX_, startY_);
  currentX_ = startX_;
  currentY_ = startY_;
  subpathDrawn_ = false;
}

void OutlineBuilder::emit(int32_t firstShapeKey, int32_t colour, std::vector<Segment>& out) const {
  emitPieces(pieces(), firstShapeKey, colour, out);
}

std::vector<Segment> OutlineBuilder::pieces() const {
  std::vector<Segment> out;
  out.reserve(pieces_.size());
  for (const Piece& piece : pieces_) out.push_back(piece.segment);
  return out;
}

void OutlineBuilder::emitPieces(const std::vector<Segment>& pieces, int32_t firstShapeKey,
                                int32_t colour, std::vector<Segment>& out) {
  for (Segment s : pieces) {
    const double length = s.kind == 1 ? cubicLength(s) : lineLength(s);
    s.length = static_cast<float>(length);
    s.shapeKey = firstShapeKey + s.shapeKey;
    s.colour = colour;
    out.push_back(s);
  }
}

}  // namespace brevanto::cli
