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
    subpathInfo_.push_back({startX_, startY_, false});
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
  if (subpathDrawn_) {
    lineTo(startX_, startY_);
    subpathInfo_.back().closed = true;
  }
  currentX_ = startX_;
  currentY_ = startY_;
  subpathDrawn_ = false;
}

// Whether the points of pieces [first, last) lie on one straight line: such
// a subpath encloses no area.
bool OutlineBuilder::straight(const std::vector<Piece>& pieces, size_t first, size_t last) {
  const Segment& start = pieces[first].segment;
  double farX = start.x0, farY = start.y0, farthest = 0.0;
  auto each = [&](auto&& visit) {
    for (size_t i = first; i < last; ++i) {
      const Segment& s = pieces[i].segment;
      visit(s.x3, s.y3);
      if (s.kind == 1) {
        visit(s.x1, s.y1);
        visit(s.x2, s.y2);
      }
    }
  };
  each([&](double x, double y) {
    const double d = std::hypot(x - start.x0, y - start.y0);
    if (d > farthest) farthest = d, farX = x, farY = y;
  });
  if (farthest <= OutlineBuilder::kSamePointMm) return true;
  bool onLine = true;
  each([&](double x, double y) {
    const double cross = (farX - start.x0) * (y - start.y0) - (farY - start.y0) * (x - start.x0);
    if (std::fabs(cross) / farthest > OutlineBuilder::kSamePointMm) onLine = false;
  });
  return onLine;
}

std::vector<Segment> OutlineBuilder::pieces(bool closeOpen, bool dropStraight,
                                            bool* dropped) const {
  std::vector<Segment> out;
  out.reserve(pieces_.size() + (closeOpen ? subpathInfo_.size() : 0));
  int32_t number = 0;
  for (size_t first = 0; first < pieces_.size();) {
    const int32_t key = pieces_[first].segment.shapeKey;
    size_t last = first;
    while (last < pieces_.size() && pieces_[last].segment.shapeKey == key) ++last;
    const Segment& end = pieces_[last - 1].segment;
    const Subpath& subpath = subpathInfo_[static_cast<size_t>(key)];
    const bool encloses = !straight(pieces_, first, last);
    if (dropStraight && !encloses) {
      if (dropped != nullptr) *dropped = true;
      first = last;
      continue;
    }
    for (size_t i = first; i < last; ++i) {
      out.push_back(pieces_[i].segment);
      out.back().shapeKey = number;
    }
    if (closeOpen && encloses && !subpath.closed &&
        !samePoint(end.x3, end.y3, subpath.startX, subpath.startY)) {
      Segment closing{};
      closing.x0 = end.x3;
      closing.y0 = end.y3;
      closing.x3 = subpath.startX;
      closing.y3 = subpath.startY;
      closing.kind = 0;
      closing.shapeKey = number;
      out.push_back(closing);
    }
    ++number;
    first = last;
  }
  return out;
}

void OutlineBuilder::emitPieces(const std::vector<Segment>& pieces, int32_t firstShapeKey,
                                int32_t colour, std::vector<Segment>& out) {
  for (Segment s : pieces) {
    s.length = s.kind == 1 ? curveRecordLength(s) : static_cast<float>(lineLength(s));
    s.shapeKey = firstShapeKey + s.shapeKey;
    s.colour = colour;
    out.push_back(s);
  }
}

}  // namespace brevanto::cli
