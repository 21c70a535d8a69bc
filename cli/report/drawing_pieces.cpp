#include "report/drawing_pieces.h"

#include <cmath>
#include <numbers>

namespace brevanto::cli {
namespace {

bool finiteSegment(const Segment& s) {
  const bool ends = finitePoint({s.x0, s.y0}) && finitePoint({s.x3, s.y3});
  return s.kind == 1 ? ends && finitePoint({s.x1, s.y1}) && finitePoint({s.x2, s.y2}) : ends;
}

// A cubic whose control polygon turns through at most this much is one
// piece: the nearest of its nine samples starts Newton's method in the
// valley of the true nearest point. One that turns further (a hook, a loop,
// a cusp) can hold a nearer point between two samples than the one Newton's
// method finds, so it is cut in two exactly (de Casteljau) until it does not,
// at most kDeepestSplit times.
constexpr double kTamestTurn = std::numbers::pi / 2.0;
constexpr int kDeepestSplit = 10;

double polygonTurn(const PlanePoint* q) {
  double turn = 0.0;
  double px = 0.0, py = 0.0;
  bool havePrevious = false;
  for (int i = 0; i < 3; ++i) {
    const double dx = q[i + 1].x - q[i].x, dy = q[i + 1].y - q[i].y;
    if (dx == 0.0 && dy == 0.0) continue;  // a control point on an end point
    if (havePrevious) turn += std::fabs(std::atan2(px * dy - py * dx, px * dx + py * dy));
    px = dx, py = dy, havePrevious = true;
  }
  return turn;
}

// Whether polygonTurn(q) <= kTamestTurn, sparing the arc tangents where the
// answer is plain: every turn under atan(3/4) (0.64 each, 1.29 together), or
// one over pi/2 + atan(1/2). Between those the turns are summed as above.
bool tame(const PlanePoint* q) {
  bool allGentle = true;
  double px = 0.0, py = 0.0;
  bool havePrevious = false;
  for (int i = 0; i < 3; ++i) {
    const double dx = q[i + 1].x - q[i].x, dy = q[i + 1].y - q[i].y;
    if (dx == 0.0 && dy == 0.0) continue;
    if (havePrevious) {
      const double cross = std::fabs(px * dy - py * dx), dot = px * dx + py * dy;
      if (dot < -0.5 * cross) return false;
      allGentle = allGentle && cross <= 0.75 * dot;
    }
    px = dx, py = dy, havePrevious = true;
  }
  return allGentle || polygonTurn(q) <= kTamestTurn;
}

void addCubic(const Piece& cubic, int depth, std::vector<Piece>& out) {
  if (depth >= kDeepestSplit || tame(cubic.p)) {
    out.push_back(cubic);
    return;
  }
  const auto mid = [](PlanePoint a, PlanePoint b) {
    return PlanePoint{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
  };
  const PlanePoint* q = cubic.p;
  const PlanePoint a = mid(q[0], q[1]), b = mid(q[1], q[2]), c = mid(q[2], q[3]);
  const PlanePoint d = mid(a, b), e = mid(b, c), m = mid(d, e);
  Piece first = cubic, second = cubic;
  first.p[1] = a, first.p[2] = d, first.p[3] = m;
  second.p[0] = m, second.p[1] = e, second.p[2] = c;
  addCubic(first, depth + 1, out);
  addCubic(second, depth + 1, out);
}

}  // namespace

std::vector<Piece> drawingPieces(std::span<const Segment> segments) {
  // Room for curves cut in pieces: capacity never written costs no memory,
  // and growing the list instead would copy it and touch twice the pages.
  std::vector<Piece> out;
  out.reserve(4 * segments.size());
  int32_t shape = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    if (i == 0 || s.shapeKey != segments[i - 1].shapeKey) ++shape;
    if (!finiteSegment(s)) continue;
    Piece piece = Piece::line({s.x0, s.y0}, {s.x3, s.y3}, shape);
    if (s.kind == 1) {
      piece.kind = Piece::Kind::Cubic;
      piece.p[1] = {s.x1, s.y1};
      piece.p[2] = {s.x2, s.y2};
      piece.p[3] = {s.x3, s.y3};
      addCubic(piece, 0, out);
      continue;
    }
    out.push_back(piece);
  }
  return out;
}

}  // namespace brevanto::cli
