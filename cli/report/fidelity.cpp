#include "report/fidelity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "report/piece_tree.h"

namespace brevanto::cli {
namespace {

// Points along each side are measured at this spacing or finer; a very
// large drawing gets at most about kMostProbes of them, so the check stays
// n log n however fine it is drawn.
constexpr double kFinestSpacing = 0.01;
constexpr double kMostProbes = 1.0e6;
// Boxes and pieces measured per point, on average, before the check is cut
// short. A drawing of ordinary density needs a few dozen.
constexpr size_t kMeasuresPerProbe = 100;

bool finite(PlanePoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

bool finiteSegment(const Segment& s) {
  const bool ends = finite({s.x0, s.y0}) && finite({s.x3, s.y3});
  return s.kind == 1 ? ends && finite({s.x1, s.y1}) && finite({s.x2, s.y2}) : ends;
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

void addCubic(const Piece& cubic, int depth, std::vector<Piece>& out) {
  if (depth >= kDeepestSplit || polygonTurn(cubic.p) <= kTamestTurn) {
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

// The drawing's curves and lines; shapes numbered as the program numbers
// them, one for each run of equal shape keys.
std::vector<Piece> drawingPieces(std::span<const Segment> segments) {
  std::vector<Piece> out;
  out.reserve(segments.size());
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

// The cutting moves of each shape's first pass (later passes follow the same
// path deeper): lines and arcs as the program writes them, its rounding and
// its straight runs included. Rapid moves and plunges cut nothing.
std::vector<Piece> pathPieces(std::span<const ProgramMove> moves) {
  std::vector<Piece> out;
  out.reserve(moves.size());
  for (const ProgramMove& m : moves) {
    const bool cut = m.kind != ProgramMove::Kind::Rapid && m.shape > 0 && m.pass <= 1 &&
                     m.fromKnown && finite({m.fromX, m.fromY}) && finite({m.toX, m.toY}) &&
                     ((m.fromX != m.toX || m.fromY != m.toY) || m.curved());
    if (cut && (!m.curved() || std::isfinite(m.radius))) out.push_back(Piece::move(m));
  }
  return out;
}

double totalLength(const std::vector<Piece>& pieces) {
  double total = 0.0;
  for (const Piece& p : pieces) total += p.lengthBound();
  return total;
}

// The farthest any point of `from` lies from the pieces of `to`: points at
// `spacing` along every piece, then, around the farthest of them, a closer
// look between its neighbours (the distance is smooth there, and the sampled
// maximum can sit up to half a spacing from the true one).
void farthest(const std::vector<Piece>& from, const PieceTree& to, double spacing, bool pathStrays,
              Deviation& worst) {
  size_t hint = 0;
  size_t measures = 0;
  const size_t budget = kMeasuresPerProbe * static_cast<size_t>(kMostProbes);
  const Piece* worstPiece = nullptr;
  double worstT = 0.0, worstStep = 0.0;
  auto measure = [&](const Piece& piece, double t) {
    const PlanePoint p = piece.at(t);
    const double d = to.nearest(p, hint, worst.measured ? worst.distance : 0.0, measures);
    if (!worst.measured || d > worst.distance) {
      worst = {true, worst.whole, d, p.x, p.y, piece.shape, pathStrays};
      return true;
    }
    return false;
  };
  for (const Piece& piece : from) {
    if (measures > budget) {
      worst.whole = false;
      break;
    }
    const double n = std::clamp(std::ceil(piece.lengthBound() / spacing), 1.0, 1.0e6);
    for (double i = 0; i <= n && measures <= budget; ++i) {
      if (measure(piece, i / n)) {
        worstPiece = &piece;
        worstT = i / n;
        worstStep = 1.0 / n;
      }
    }
  }
  // Zoom in: sixteen steps between the neighbours, four times over.
  for (int round = 0; worstPiece != nullptr && round < 4; ++round) {
    const double low = std::max(0.0, worstT - worstStep), high = std::min(1.0, worstT + worstStep);
    for (int k = 0; k <= 16; ++k) {
      const double t = low + (high - low) * k / 16.0;
      if (measure(*worstPiece, t)) worstT = t;
    }
    worstStep = (high - low) / 16.0;
  }
}

}  // namespace

Deviation measureDeviation(std::span<const Segment> segments, std::span<const ProgramMove> moves) {
  std::vector<Piece> drawing = drawingPieces(segments);
  std::vector<Piece> path = pathPieces(moves);
  Deviation worst;
  if (drawing.empty()) return worst;
  if (path.empty()) {
    // A program that cuts nothing of a drawing that has length is as far
    // from it as a program can be.
    if (totalLength(drawing) > 0.0) {
      const Piece& first = drawing.front();
      worst = {true, true, HUGE_VAL, first.p[0].x, first.p[0].y, first.shape, false};
    }
    return worst;
  }
  const double spacing =
      std::max(kFinestSpacing, (totalLength(drawing) + totalLength(path)) / kMostProbes);
  const PieceTree drawingTree(drawing);
  const PieceTree pathTree(path);
  farthest(path, drawingTree, spacing, true, worst);
  farthest(drawing, pathTree, spacing, false, worst);
  return worst;
}

std::string describeDeviation(const Deviation& d) {
  if (!d.measured) return "none: nothing to compare";
  char text[200];
  if (std::isinf(d.distance)) {
    std::snprintf(text, sizeof text, "none of the drawing is cut (shape %d begins at (%.4f, %.4f))",
                  static_cast<int>(d.shape), d.x, d.y);
    return text;
  }
  std::snprintf(text, sizeof text, "%s%.4f mm at (%.4f, %.4f) in shape %d, where %s",
                d.whole ? "" : "at least ", d.distance, d.x, d.y, static_cast<int>(d.shape),
                d.pathStrays ? "the path strays from the drawing" : "the drawing is not cut");
  if (!d.whole) {
    return std::string(text) + " (the drawing is too dense to check whole in reasonable time)";
  }
  return text;
}

}  // namespace brevanto::cli
