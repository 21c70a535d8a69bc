#include "fidelity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <vector>

#include "geometry/curve_flattening.h"
#include "geometry/point2.h"

namespace brevanto::cli {
namespace {

constexpr double kPi = 3.141592653589793;

// Sample spacing: fine enough that sampling adds at most a few microns to the
// figure, coarse enough that a very large drawing stays a linear job.
constexpr double kFinestSpacing = 0.005;
constexpr double kMostSamples = 2.0e6;

bool finite(Point2 p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

// A polyline of samples and the shape it belongs to.
struct Trace {
  std::vector<Point2> points;
  int32_t shapeKey = 0;
};

struct Traces {
  std::vector<Trace> list;
  double length = 0.0;  // rough total, to choose the spacing
};

// Samples for a piece of the given length: at least `least`, at most a
// million, and `least` when the length is not a number.
int32_t stepsFor(double length, double spacing, int32_t least) {
  const double q = std::ceil(length / spacing);
  if (!(q > least)) return least;
  return q < 1.0e6 ? static_cast<int32_t>(q) : 1000000;
}

// ---- the drawing ----------------------------------------------------------

void sampleCurve(const Segment& s, double spacing, Trace& out) {
  const double rough = std::hypot(s.x1 - s.x0, s.y1 - s.y0) + std::hypot(s.x2 - s.x1, s.y2 - s.y1) +
                       std::hypot(s.x3 - s.x2, s.y3 - s.y2);
  const int32_t n = stepsFor(rough, spacing, 8);
  for (int32_t i = 0; i <= n; ++i) {
    out.points.push_back(curvePoint(s, static_cast<double>(i) / n));
  }
}

void sampleLine(Point2 a, Point2 b, double spacing, Trace& out) {
  const int32_t n = stepsFor(std::hypot(b.x - a.x, b.y - a.y), spacing, 1);
  for (int32_t i = 0; i <= n; ++i) {
    const double t = static_cast<double>(i) / n;
    out.points.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
  }
}

double segmentLength(const Segment& s) {
  if (s.kind != 1) return std::hypot(s.x3 - s.x0, s.y3 - s.y0);
  return std::hypot(s.x1 - s.x0, s.y1 - s.y0) + std::hypot(s.x2 - s.x1, s.y2 - s.y1) +
         std::hypot(s.x3 - s.x2, s.y3 - s.y2);
}

bool finiteSegment(const Segment& s) {
  const bool ends = finite({s.x0, s.y0}) && finite({s.x3, s.y3});
  return s.kind == 1 ? ends && finite({s.x1, s.y1}) && finite({s.x2, s.y2}) : ends;
}

void traceDrawing(std::span<const Segment> segments, double spacing, Traces& out) {
  for (const Segment& s : segments) {
    if (!finiteSegment(s)) continue;
    Trace& t = out.list.emplace_back();
    t.shapeKey = s.shapeKey;
    if (s.kind == 1) {
      sampleCurve(s, spacing, t);
    } else {
      sampleLine({s.x0, s.y0}, {s.x3, s.y3}, spacing, t);
    }
  }
}

// ---- the written path -----------------------------------------------------

void sampleArc(Point2 from, Point2 to, Point2 centre, bool clockwise, bool wholeTurn,
               double spacing, Trace& out) {
  const double r = std::hypot(from.x - centre.x, from.y - centre.y);
  const double a0 = std::atan2(from.y - centre.y, from.x - centre.x);
  const double a1 = std::atan2(to.y - centre.y, to.x - centre.x);
  double sweep = clockwise ? a0 - a1 : a1 - a0;  // counter-clockwise positive
  sweep = std::fmod(sweep + 4.0 * kPi, 2.0 * kPi);
  if (wholeTurn && sweep == 0.0) sweep = 2.0 * kPi;
  const int32_t n = stepsFor(r * sweep, spacing, 4);
  for (int32_t i = 0; i <= n; ++i) {
    const double a = a0 + (clockwise ? -sweep : sweep) * (static_cast<double>(i) / n);
    out.points.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
  }
}

// The centre a machine finds for an R-word arc from `from` to `to`.
Point2 centreFromRadius(Point2 from, Point2 to, double r, bool clockwise, bool longWay) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double chord = std::hypot(dx, dy);
  const Point2 middle{(from.x + to.x) / 2.0, (from.y + to.y) / 2.0};
  if (chord == 0.0) return middle;
  const double h = std::sqrt(std::max(0.0, r * r - chord * chord / 4.0));
  // Left of the direction of travel for a short counter-clockwise arc.
  const double side = (clockwise != longWay) ? -1.0 : 1.0;
  return {middle.x - side * h * dy / chord, middle.y + side * h * dx / chord};
}

void traceElement(const PathElement& e, Point2& at, double spacing, Trace& t) {
  const Point2 end{e.endX, e.endY};
  if (!(e.radius > 0.0)) {
    sampleLine(at, end, spacing, t);
  } else if (isFullCircle(e)) {
    // Two halves through the rightmost point, back to the start.
    const Point2 centre{e.endX + e.radius, e.endY};
    sampleLine(at, end, spacing, t);
    sampleArc(end, end, centre, e.clockwise == 1, true, spacing, t);
  } else {
    const bool clockwise = e.clockwise == 1;
    const Point2 centre = centreFromRadius(at, end, e.radius, clockwise, sweepsMoreThanHalf(e));
    sampleArc(at, end, centre, clockwise, false, spacing, t);
  }
  at = end;
}

void tracePath(std::span<const PathElement> elements, double spacing, Traces& out) {
  Point2 at{0.0, 0.0};
  for (size_t i = 0; i < elements.size(); ++i) {
    const PathElement& e = elements[i];
    const bool newShape = i == 0 || e.shapeKey != elements[i - 1].shapeKey;
    if (newShape) at = {e.startX, e.startY};  // the rapid approach is not a cut
    if (!finite(at) || !finite({e.endX, e.endY}) || !std::isfinite(e.radius)) {
      at = {e.endX, e.endY};
      continue;
    }
    Trace& t = out.list.emplace_back();
    t.shapeKey = e.shapeKey;
    traceElement(e, at, spacing, t);
  }
}

double pathLength(std::span<const PathElement> elements) {
  double total = 0.0;
  for (const PathElement& e : elements) {
    const double l =
        e.radius > 0.0 ? 2.0 * kPi * e.radius : std::hypot(e.endX - e.startX, e.endY - e.startY);
    if (std::isfinite(l)) total += l;
  }
  return total;
}

// ---- nearest distances ----------------------------------------------------

// The pieces of a set of traces in a tree of bounding boxes (split at the
// median of the wider side), for nearest-distance queries in logarithmic time
// whether the answer is a micron or a metre.
class PieceTree {
 public:
  explicit PieceTree(const Traces& traces) {
    for (const Trace& t : traces.list) {
      if (t.points.size() == 1) pieces_.push_back({t.points[0], t.points[0]});
      for (size_t i = 0; i + 1 < t.points.size(); ++i) {
        pieces_.push_back({t.points[i], t.points[i + 1]});
      }
    }
    if (!pieces_.empty()) build(0, pieces_.size());
  }

  bool empty() const { return pieces_.empty(); }

  // Distance from p to the nearest piece. `hint` is a piece index to start
  // from (the previous answer: neighbouring samples have near neighbours).
  double distance(Point2 p, size_t& hint) const {
    double best = toPiece(p, pieces_[hint]);
    size_t stack[128];
    size_t depth = 0;
    stack[depth++] = 0;
    while (depth > 0) {
      const Node& n = nodes_[stack[--depth]];
      if (boxDistance(p, n) >= best) continue;
      if (n.left == 0) {
        for (size_t i = n.begin; i < n.end; ++i) {
          const double d = toPiece(p, pieces_[i]);
          if (d < best) {
            best = d;
            hint = i;
          }
        }
        continue;
      }
      // Nearer child last, so it is taken first.
      const bool leftFirst = boxDistance(p, nodes_[n.left]) <= boxDistance(p, nodes_[n.right]);
      stack[depth++] = leftFirst ? n.right : n.left;
      stack[depth++] = leftFirst ? n.left : n.right;
    }
    return best;
  }

 private:
  struct Piece {
    Point2 a, b;
  };
  struct Node {
    double minX, minY, maxX, maxY;
    size_t begin, end;
    size_t left = 0, right = 0;  // 0: a leaf (the root is never a child)
  };
  static constexpr size_t kLeafSize = 8;

  size_t build(size_t begin, size_t end) {
    const size_t index = nodes_.size();
    Node node{
        pieces_[begin].a.x, pieces_[begin].a.y, pieces_[begin].a.x, pieces_[begin].a.y, begin, end};
    for (size_t i = begin; i < end; ++i) {
      for (const Point2 q : {pieces_[i].a, pieces_[i].b}) {
        node.minX = std::min(node.minX, q.x);
        node.minY = std::min(node.minY, q.y);
        node.maxX = std::max(node.maxX, q.x);
        node.maxY = std::max(node.maxY, q.y);
      }
    }
    nodes_.push_back(node);
    if (end - begin <= kLeafSize) return index;
    const bool alongX = node.maxX - node.minX >= node.maxY - node.minY;
    const size_t middle = begin + (end - begin) / 2;
    std::nth_element(pieces_.begin() + static_cast<std::ptrdiff_t>(begin),
                     pieces_.begin() + static_cast<std::ptrdiff_t>(middle),
                     pieces_.begin() + static_cast<std::ptrdiff_t>(end),
                     [alongX](const Piece& u, const Piece& v) {
                       return alongX ? u.a.x + u.b.x < v.a.x + v.b.x
                                     : u.a.y + u.b.y < v.a.y + v.b.y;
                     });
    const size_t left = build(begin, middle);
    const size_t right = build(middle, end);
    nodes_[index].left = left;
    nodes_[index].right = right;
    return index;
  }

  static double boxDistance(Point2 p, const Node& n) {
    const double dx = std::max({n.minX - p.x, 0.0, p.x - n.maxX});
    const double dy = std::max({n.minY - p.y, 0.0, p.y - n.maxY});
    return std::hypot(dx, dy);
  }

  static double toPiece(Point2 p, const Piece& s) {
    const double dx = s.b.x - s.a.x;
    const double dy = s.b.y - s.a.y;
    const double ll = dx * dx + dy * dy;
    double t = ll == 0.0 ? 0.0 : ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / ll;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - s.a.x - t * dx, p.y - s.a.y - t * dy);
  }

  std::vector<Piece> pieces_;
  std::vector<Node> nodes_;
};

void farthest(const Traces& from, const PieceTree& to, bool pathStrays, Deviation& worst) {
  size_t hint = 0;
  for (const Trace& t : from.list) {
    for (const Point2 p : t.points) {
      const double d = to.distance(p, hint);
      if (!worst.measured || d > worst.distance) {
        worst = {true, d, p.x, p.y, t.shapeKey, pathStrays};
      }
    }
  }
}

}  // namespace

Deviation measureDeviation(std::span<const Segment> segments,
                           std::span<const PathElement> elements) {
  double total = pathLength(elements);
  for (const Segment& s : segments) {
    if (finiteSegment(s)) total += segmentLength(s);
  }
  const double spacing = std::max(kFinestSpacing, total / kMostSamples);

  Traces drawing, path;
  traceDrawing(segments, spacing, drawing);
  tracePath(elements, spacing, path);
  const PieceTree drawingTree(drawing);
  const PieceTree pathTree(path);
  Deviation worst;
  if (drawingTree.empty() || pathTree.empty()) return worst;
  farthest(path, drawingTree, true, worst);
  farthest(drawing, pathTree, false, worst);
  return worst;
}

std::string describeDeviation(const Deviation& d) {
  if (!d.measured) return "none: nothing to compare";
  char text[160];
  std::snprintf(text, sizeof text, "%.4f mm at (%.4f, %.4f) in shape %d, where %s", d.distance, d.x,
                d.y, static_cast<int>(d.shapeKey),
                d.pathStrays ? "the path strays from the drawing" : "the drawing is not cut");
  return text;
}

}  // namespace brevanto::cli
