#include "toolpath/pass_writer.h"

#include <algorithm>
#include <cmath>

namespace brevanto {
namespace {

// A descending arc is written in parts of at most this turn, so that no part's
// chord is much shorter than the length its descent was planned over.
constexpr double kMostHelixTurn = 20.0 * 3.141592653589793 / 180.0;

}  // namespace

void PassWriter::rapid(Point2 to, double z) {
  sink_.move(
      {.kind = ToolMove::Kind::Rapid, .hasXY = true, .hasZ = true, .x = to.x, .y = to.y, .z = z});
  at_ = {written_(to.x), written_(to.y)};
  z_ = written_(z);
}

void PassWriter::rapidTo(Point2 to) {
  sink_.move({.kind = ToolMove::Kind::Rapid, .hasXY = true, .x = to.x, .y = to.y});
  at_ = {written_(to.x), written_(to.y)};
}

void PassWriter::rapidZ(double z) {
  sink_.move({.kind = ToolMove::Kind::Rapid, .hasZ = true, .z = z});
  z_ = written_(z);
}

void PassWriter::plunge(double z) {
  sink_.move({.kind = ToolMove::Kind::Line, .feed = ToolMove::Feed::Plunge, .hasZ = true, .z = z});
  z_ = written_(z);
  feedDue_ = true;
}

void PassWriter::climb(double z) {
  sink_.move({.kind = ToolMove::Kind::Line,
              .feed = feedDue_ ? ToolMove::Feed::Cut : ToolMove::Feed::Kept,
              .hasZ = true,
              .z = z});
  z_ = written_(z);
  feedDue_ = false;
}

void PassWriter::feedMove(ToolMove move, Point2 to, double z) {
  const Point2 toW{written_(to.x), written_(to.y)};
  double zW = written_(z);
  const double chord = std::hypot(toW.x - at_.x, toW.y - at_.y);
  if (zW < z_ && zW < 0.0 && std::isfinite(steepest_)) {
    // Held to the slope as written: a short move whose rounded Z would fall
    // too far falls less, and the next one catches up.
    const double most = std::floor(steepest_ * chord * 10000.0) / 10000.0;
    if (z_ - zW > most) zW = written_(z_ - most);
  }
  const bool moves = toW.x != at_.x || toW.y != at_.y;
  if (!moves && zW == z_) return;
  if (!moves) move.kind = ToolMove::Kind::Line;  // an arc that goes nowhere reads as a circle
  move.feed = feedDue_ ? ToolMove::Feed::Cut : ToolMove::Feed::Kept;
  move.hasXY = moves;
  move.x = to.x;
  move.y = to.y;
  move.hasZ = zW != z_;
  move.z = zW;
  sink_.move(move);
  feedDue_ = false;
  at_ = toW;
  z_ = zW;
}

void PassWriter::piecePart(const PathPiece& piece, double a, double b, double z) {
  const Point2 to = pointOn(piece, b);
  if (!piece.arc) {
    feedMove({.kind = ToolMove::Kind::Line}, to, z);
    return;
  }
  const bool clockwise = piece.clockwise == (b > a);
  const double turn = std::fabs(b - a) / piece.radius;
  feedMove({.kind = clockwise ? ToolMove::Kind::ClockwiseArc : ToolMove::Kind::CounterClockwiseArc,
            .radius = turn > 3.141592653589793 ? -piece.radius : piece.radius},
           to, z);
}

void PassWriter::stretch(const ContourPath& path, double s0, double s1, double z0, double z1) {
  const double total = std::fabs(s1 - s0);
  if (path.empty() || !(total > 0.0)) {
    if (z1 != z0) feedMove({.kind = ToolMove::Kind::Line}, path.pointAt(s1), z1);
    return;
  }
  const bool forward = s1 > s0;
  const double lo = std::min(s0, s1), hi = std::max(s0, s1);
  const auto& pieces = path.pieces();
  const size_t first = path.pieceAt(lo), last = path.pieceAt(hi);
  for (size_t k = 0; k <= last - first; ++k) {
    const PathPiece& p = pieces[forward ? first + k : last - k];
    const double from = std::clamp((forward ? lo : hi) - p.startS, 0.0, p.length);
    const double to = std::clamp((forward ? hi : lo) - p.startS, 0.0, p.length);
    if (from == to) continue;
    // Parts of a descending arc; a level one in one move.
    const double turn = p.arc ? std::fabs(to - from) / p.radius : 0.0;
    const int parts =
        z0 != z1 && p.arc ? std::max(1, static_cast<int>(std::ceil(turn / kMostHelixTurn))) : 1;
    for (int j = 1; j <= parts; ++j) {
      const double b = j == parts ? to : from + (to - from) * j / parts;
      const bool end = j == parts && k == last - first;
      const double travelled = std::fabs(p.startS + b - s0);
      const double z = end ? z1 : z0 + (z1 - z0) * std::min(1.0, travelled / total);
      piecePart(p, from + (to - from) * (j - 1) / parts, b, z);
    }
  }
}

}  // namespace brevanto
