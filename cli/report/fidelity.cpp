#include "report/fidelity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <vector>

#include "report/piece_tree.h"

namespace brevanto::cli {
namespace {

// Curves and arcs become chains of chords that stay within this of them; the
// figure is then searched to within the same again.
constexpr double kChordError = kFidelityTolerance / 2.0;
constexpr int kDeepestSplit = 30;

bool finite(PlanePoint p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// Chains of points, each with the shape it belongs to.
struct Chains {
  std::vector<PlanePoint> points;
  std::vector<size_t> starts;  // where each chain begins in `points`
  std::vector<int32_t> shapes;

  void begin(PlanePoint p, int32_t shape) {
    starts.push_back(points.size());
    shapes.push_back(shape);
    points.push_back(p);
  }
  [[nodiscard]] size_t count() const { return starts.size(); }
  [[nodiscard]] size_t end(size_t chain) const {
    return chain + 1 < starts.size() ? starts[chain + 1] : points.size();
  }
};

// ---- the drawing ----------------------------------------------------------

double distanceToChord(PlanePoint p, PlanePoint a, PlanePoint b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double ll = dx * dx + dy * dy;
  const double t =
      ll == 0.0 ? 0.0 : std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / ll, 0.0, 1.0);
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// A cubic lies inside the hull of its four points, and every point of the
// hull is within the larger distance of the two handles from the chord: once
// that is small enough the chord stands for the curve. Otherwise it is split
// in halves (de Casteljau).
void flattenCubic(PlanePoint p0, PlanePoint p1, PlanePoint p2, PlanePoint p3, int depth,
                  std::vector<PlanePoint>& out) {
  if (depth >= kDeepestSplit ||
      std::max(distanceToChord(p1, p0, p3), distanceToChord(p2, p0, p3)) <= kChordError) {
    out.push_back(p3);
    return;
  }
  auto mid = [](PlanePoint a, PlanePoint b) {
    return PlanePoint{(a.x + b.x) / 2, (a.y + b.y) / 2};
  };
  const PlanePoint a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3);
  const PlanePoint ab = mid(a, b), bc = mid(b, c);
  const PlanePoint m = mid(ab, bc);
  flattenCubic(p0, a, ab, m, depth + 1, out);
  flattenCubic(m, bc, c, p3, depth + 1, out);
}

bool finiteSegment(const Segment& s) {
  const bool ends = finite({s.x0, s.y0}) && finite({s.x3, s.y3});
  return s.kind == 1 ? ends && finite({s.x1, s.y1}) && finite({s.x2, s.y2}) : ends;
}

// One chain per run of joined segments; shapes numbered as the program
// numbers them, one for each run of equal shape keys.
Chains drawingChains(std::span<const Segment> segments) {
  Chains out;
  int32_t shape = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const bool newShape = i == 0 || s.shapeKey != segments[i - 1].shapeKey;
    if (newShape) ++shape;
    if (!finiteSegment(s)) continue;
    const PlanePoint start{s.x0, s.y0};
    const bool joined = !newShape && out.count() > 0 && out.points.back().x == start.x &&
                        out.points.back().y == start.y && out.shapes.back() == shape;
    if (!joined) out.begin(start, shape);
    if (s.kind == 1) {
      flattenCubic(start, {s.x1, s.y1}, {s.x2, s.y2}, {s.x3, s.y3}, 0, out.points);
    } else {
      out.points.push_back({s.x3, s.y3});
    }
  }
  return out;
}

// ---- the written path -----------------------------------------------------

// The chords of an arc: a chord over the angle a sits r (1 - cos(a/2)) from
// it, so chords over 2 acos(1 - e/r) keep within e.
void flattenArc(const ProgramMove& m, std::vector<PlanePoint>& out) {
  const double ratio = 1.0 - kChordError / m.radius;
  const double step = ratio > -1.0 ? 2.0 * std::acos(ratio) : m.sweep;
  const double pieces = std::ceil(m.sweep / step);
  const auto n = static_cast<int64_t>(std::clamp(pieces, 1.0, 1.0e6));
  for (int64_t k = 1; k < n; ++k) out.push_back(m.pointAlong(static_cast<double>(k) / n));
  out.push_back({m.toX, m.toY});
}

// The cutting moves of each shape's first pass (later passes follow the same
// path deeper), a chain for each run of moves without a rapid between them.
Chains pathChains(std::span<const ProgramMove> moves) {
  Chains out;
  bool chained = false;
  for (const ProgramMove& m : moves) {
    const bool cut = m.kind != ProgramMove::Kind::Rapid && m.shape > 0 && m.pass <= 1 &&
                     m.fromKnown && finite({m.fromX, m.fromY}) && finite({m.toX, m.toY});
    if (!cut) {
      chained = false;
      continue;
    }
    if (m.fromX == m.toX && m.fromY == m.toY && !m.curved()) continue;  // a plunge
    if (!chained || out.shapes.back() != m.shape) out.begin({m.fromX, m.fromY}, m.shape);
    chained = true;
    if (m.curved() && std::isfinite(m.radius)) {
      flattenArc(m, out.points);
    } else {
      out.points.push_back({m.toX, m.toY});
    }
  }
  return out;
}

// ---- the largest distance -------------------------------------------------

// The farthest any point of the chains `from` lies from the pieces of `to`.
// The distance to a piece is a convex function along a chord, so between two
// points whose nearest pieces are P and Q it stays below the larger of their
// distances to P (or to Q); it also changes no faster than the position, so
// it stays below (da + db + length) / 2. Only where neither bound rules out
// a new largest distance is the chord split and its middle measured.
class Farthest {
 public:
  Farthest(const PieceTree& to, bool pathStrays, Deviation& worst)
      : to_(to), pathStrays_(pathStrays), worst_(worst) {}

  void measure(const Chains& from) {
    for (size_t c = 0; c < from.count(); ++c) {
      shape_ = from.shapes[c];
      const size_t first = from.starts[c], last = from.end(c);
      Probe previous = probe(from.points[first]);
      for (size_t i = first + 1; i < last; ++i) {
        const Probe next = probe(from.points[i]);
        between(previous, next, 0);
        previous = next;
      }
    }
  }

 private:
  struct Probe {
    PlanePoint p;
    double distance;
    size_t piece;
  };

  Probe probe(PlanePoint p) {
    Probe q{p, to_.nearest(p, hint_), hint_};
    if (!worst_.measured || q.distance > worst_.distance) {
      worst_ = {true, q.distance, p.x, p.y, shape_, pathStrays_};
    }
    return q;
  }

  void between(const Probe& a, const Probe& b, int depth) {
    const double length = std::hypot(b.p.x - a.p.x, b.p.y - a.p.y);
    const double enough = worst_.distance + kFidelityTolerance / 2.0;
    if (length <= kFidelityTolerance || depth >= kDeepestSplit) return;
    if ((a.distance + b.distance + length) / 2.0 <= enough) return;
    if (std::max(a.distance, to_.distanceTo(b.p, a.piece)) <= enough) return;
    if (std::max(b.distance, to_.distanceTo(a.p, b.piece)) <= enough) return;
    hint_ = a.piece;
    const Probe middle = probe({(a.p.x + b.p.x) / 2.0, (a.p.y + b.p.y) / 2.0});
    between(a, middle, depth + 1);
    between(middle, b, depth + 1);
  }

  const PieceTree& to_;
  bool pathStrays_;
  Deviation& worst_;
  int32_t shape_ = 0;
  size_t hint_ = 0;
};

PieceTree treeOf(const Chains& chains) {
  std::vector<PieceTree::Piece> pieces;
  pieces.reserve(chains.points.size());
  for (size_t c = 0; c < chains.count(); ++c) {
    const size_t first = chains.starts[c], last = chains.end(c);
    if (last - first == 1) pieces.push_back({chains.points[first], chains.points[first]});
    for (size_t i = first; i + 1 < last; ++i) {
      pieces.push_back({chains.points[i], chains.points[i + 1]});
    }
  }
  return PieceTree(std::move(pieces));
}

}  // namespace

Deviation measureDeviation(std::span<const Segment> segments, std::span<const ProgramMove> moves) {
  const Chains drawing = drawingChains(segments);
  const Chains path = pathChains(moves);
  const PieceTree drawingTree = treeOf(drawing);
  const PieceTree pathTree = treeOf(path);
  Deviation worst;
  if (drawingTree.empty() || pathTree.empty()) return worst;
  Farthest(drawingTree, true, worst).measure(path);
  Farthest(pathTree, false, worst).measure(drawing);
  return worst;
}

std::string describeDeviation(const Deviation& d) {
  if (!d.measured) return "none: nothing to compare";
  char text[160];
  std::snprintf(text, sizeof text, "%.4f mm at (%.4f, %.4f) in shape %d, where %s", d.distance, d.x,
                d.y, static_cast<int>(d.shape),
                d.pathStrays ? "the path strays from the drawing" : "the drawing is not cut");
  return text;
}

}  // namespace brevanto::cli
