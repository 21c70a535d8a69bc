#include "toolpath/contour_path.h"

#include <algorithm>
#include <cmath>

namespace brevanto {
namespace {

constexpr double kTurn = 2.0 * 3.141592653589793;

}  // namespace

Point2 pointOn(const PathPiece& piece, double along) {
  if (!piece.arc) {
    const double t = piece.length > 0.0 ? along / piece.length : 0.0;
    return {piece.from.x + (piece.to.x - piece.from.x) * t,
            piece.from.y + (piece.to.y - piece.from.y) * t};
  }
  if (along >= piece.length) return piece.to;
  const double a0 = std::atan2(piece.from.y - piece.centre.y, piece.from.x - piece.centre.x);
  const double turn = along / piece.radius;
  const double a = piece.clockwise ? a0 - turn : a0 + turn;
  return {piece.centre.x + piece.radius * std::cos(a), piece.centre.y + piece.radius * std::sin(a)};
}

Point2 directionOn(const PathPiece& piece, double along) {
  if (!piece.arc) {
    const double d = std::hypot(piece.to.x - piece.from.x, piece.to.y - piece.from.y);
    if (!(d > 0.0)) return {1.0, 0.0};
    return {(piece.to.x - piece.from.x) / d, (piece.to.y - piece.from.y) / d};
  }
  const Point2 p = pointOn(piece, along);
  const double ux = (p.x - piece.centre.x) / piece.radius;
  const double uy = (p.y - piece.centre.y) / piece.radius;
  // Counter-clockwise travel is the radius turned a quarter to the left.
  return piece.clockwise ? Point2{uy, -ux} : Point2{-uy, ux};
}

void ContourPath::addLine(Point2 from, Point2 to) {
  PathPiece p{.from = from, .to = to, .startS = length_};
  p.length = std::hypot(to.x - from.x, to.y - from.y);
  if (!(p.length > 0.0)) return;
  length_ += p.length;
  pieces_.push_back(p);
}

void ContourPath::addArc(Point2 from, Point2 to, Point2 centre, bool clockwise) {
  PathPiece p{.from = from, .to = to, .arc = true, .clockwise = clockwise, .centre = centre};
  p.radius = std::hypot(from.x - centre.x, from.y - centre.y);
  const double a0 = std::atan2(from.y - centre.y, from.x - centre.x);
  const double a1 = std::atan2(to.y - centre.y, to.x - centre.x);
  double sweep = clockwise ? a0 - a1 : a1 - a0;
  sweep = std::fmod(sweep + 2.0 * kTurn, kTurn);
  if (!(p.radius > 0.0) || !(sweep > 0.0)) {
    addLine(from, to);
    return;
  }
  p.sweep = sweep;
  p.length = p.radius * sweep;
  p.startS = length_;
  length_ += p.length;
  pieces_.push_back(p);
}

size_t ContourPath::pieceAt(double s) const {
  const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), s,
                                      [](double v, const PathPiece& p) { return v < p.startS; });
  const auto index = static_cast<size_t>(after - pieces_.begin());
  return index == 0 ? 0 : index - 1;
}

Point2 ContourPath::pointAt(double s) const {
  const PathPiece& p = pieces_[pieceAt(s)];
  return pointOn(p, std::clamp(s - p.startS, 0.0, p.length));
}

Point2 ContourPath::directionAt(double s) const {
  const PathPiece& p = pieces_[pieceAt(s)];
  return directionOn(p, std::clamp(s - p.startS, 0.0, p.length));
}

}  // namespace brevanto
