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
// answer is plain. A turn of cross c and dot d (d > 0) has tangent c / d, and
// two such turns add up to less than pi/2 exactly when the product of their
// tangents is below 1: with a margin of one percent (and tangents below a
// million) the sum is then at least 5e-9 from pi/2 either way, far beyond
// the rounding of the tangents summed above. A turn with d < -c / 100 alone
// exceeds pi/2. Between those the turns are summed as above.
bool tame(const PlanePoint* q) {
  double cross[2] = {0.0, 0.0}, dot[2] = {1.0, 1.0};
  int turns = 0;
  double px = 0.0, py = 0.0;
  bool havePrevious = false;
  for (int i = 0; i < 3; ++i) {
    const double dx = q[i + 1].x - q[i].x, dy = q[i + 1].y - q[i].y;
    if (dx == 0.0 && dy == 0.0) continue;
    if (havePrevious) {
      cross[turns] = std::fabs(px * dy - py * dx);
      dot[turns] = px * dx + py * dy;
      if (dot[turns] < -0.01 * cross[turns]) return false;
      ++turns;
    }
    px = dx, py = dy, havePrevious = true;
  }
  constexpr double kSteepest = 1.0e6;
  const bool plain = dot[0] > 0.0 && dot[1] > 0.0 && cross[0] <= kSteepest * dot[0] &&
                     cross[1] <= kSteepest * dot[1];
  if (plain) {
    const double product = cross[0] * cross[1], limit = dot[0] * dot[1];
    if (product <= 0.99 * limit) return true;
    if (product >= 1.01 * limit) return false;
  }
  return polygonTurn(q) <= kTamestTurn;
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
