#include "geometry/pocket_rings.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "geometry/loop_lobes.h"
#include "geometry/offset.h"
#include "geometry/tool_clearance.h"

namespace brevanto {
namespace {

// Where the offsets of two loops meet, each offset's kept stretch is found
// on its own (by bisection, against a clearance that allows for rounding), so
// the two ends lie a hair apart: ends this close (mm) continue one another.
constexpr double kStitchGap = 0.01;
// A gap smaller than this (mm) is closed by moving the end; a larger one by
// a short line.
constexpr double kSnapGap = 1e-7;
// Arcs are followed in steps of at most this turn for the inside test.
constexpr double kInsideStep = 5.0 * 3.141592653589793 / 180.0;

struct Stretch {
  std::vector<PathCurve> curves;
  size_t next = std::numeric_limits<size_t>::max();
  bool hasPrev = false;
  bool used = false;
};

void append(std::vector<PathCurve>& to, const std::vector<PathCurve>& from) {
  if (to.empty()) {
    to = from;
    return;
  }
  const Point2 end = to.back().end;
  const Point2 start = from.front().start;
  const double gap = distance(end, start);
  if (gap > kSnapGap) to.push_back(lineCurve(end, start));
  const size_t first = to.size();
  to.insert(to.end(), from.begin(), from.end());
  if (gap <= kSnapGap) to[first].start = end;
}

// Joins the open stretches end to start, nearest pairs first, into closed
// rings (or, where an end finds no start, open chains).
std::vector<PocketRing> stitch(std::vector<Stretch>& open) {
  struct Pair {
    double gap;
    size_t from, to;
  };
  std::vector<Pair> pairs;
  for (size_t i = 0; i < open.size(); ++i) {
    for (size_t j = 0; j < open.size(); ++j) {
      const double gap = distance(open[i].curves.back().end, open[j].curves.front().start);
      if (gap <= kStitchGap) pairs.push_back({gap, i, j});
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.gap < b.gap; });
  for (const Pair& p : pairs) {
    if (open[p.from].next < open.size() || open[p.to].hasPrev) continue;
    open[p.from].next = p.to;
    open[p.to].hasPrev = true;
  }
  std::vector<PocketRing> rings;
  const auto follow = [&](size_t i) {
    PocketRing ring;
    for (size_t k = i; k < open.size() && !open[k].used; k = open[k].next) {
      open[k].used = true;
      append(ring.curves, open[k].curves);
      ring.closed = open[k].next == i;
    }
    if (ring.closed) {
      const double gap = distance(ring.curves.back().end, ring.curves.front().start);
      if (gap > kSnapGap)
        ring.curves.push_back(lineCurve(ring.curves.back().end, ring.curves.front().start));
      ring.curves.back().end = ring.curves.front().start;
    }
    rings.push_back(std::move(ring));
  };
  // Chains first, from their heads; what is left are cycles.
  for (size_t i = 0; i < open.size(); ++i) {
    if (!open[i].hasPrev) follow(i);
  }
  for (size_t i = 0; i < open.size(); ++i) {
    if (!open[i].used) follow(i);
  }
  return rings;
}

std::vector<PocketRing> ringsAt(const std::vector<std::vector<PathCurve>>& loops, double d,
                                std::vector<Point2>* misfits) {
  std::vector<const std::vector<PathCurve>*> outlines;
  for (const std::vector<PathCurve>& loop : loops) outlines.push_back(&loop);
  const ToolClearance clearance(outlines, d);
  std::vector<PocketRing> rings;
  std::vector<Stretch> open;
  for (size_t i = 0; i < loops.size(); ++i) {
    LoopOffset offset = offsetLoop(loops[i], d, clearance, i);
    for (OffsetPiece& piece : offset.pieces) {
      if (piece.closed) {
        rings.push_back({.curves = std::move(piece.curves)});  // NOLINT
      } else {
        open.push_back({.curves = std::move(piece.curves)});
      }
    }
    if (misfits != nullptr) {
      for (const OffsetMisfit& m : offset.misfits) misfits->push_back(m.at);
    }
  }
  for (PocketRing& r : stitch(open)) rings.push_back(std::move(r));
  return rings;
}

Point2 midpoint(const PocketRing& ring) {
  return pointAt(ring.curves[ring.curves.size() / 2], 0.5);
}

// Among the components from `first` to before `last`, the one whose outer
// ring is the smallest that encloses p.
int64_t enclosingComponent(const PocketRings& out, size_t first, size_t last, Point2 p,
                           const std::vector<double>& areas) {
  int64_t best = -1;
  for (size_t c = first; c < last; ++c) {
    const PocketComponent& comp = out.components[c];
    if (comp.rings.empty()) continue;
    const size_t r = comp.rings.front();
    if (!out.rings[r].outer || !loopEncloses(out.rings[r].curves, p)) continue;
    if (best < 0 || areas[r] < areas[out.components[static_cast<size_t>(best)].rings.front()]) {
      best = static_cast<int64_t>(c);
    }
  }
  return best;
}

}  // namespace

std::vector<PathCurve> reversedLoop(const std::vector<PathCurve>& loop) {
  std::vector<PathCurve> out(loop.rbegin(), loop.rend());
  for (PathCurve& c : out) {
    std::swap(c.start, c.end);
    if (c.isArc()) {
      c.startAngle += c.sweep;
      c.sweep = -c.sweep;
    }
  }
  return out;
}

double reachedArea(const PocketRings& rings, double radius) {
  double area = 0.0;
  for (const PocketRing& ring : rings.rings) {
    if (ring.level != 0 || !ring.closed || ring.curves.empty()) continue;
    area += loopArea(ring.curves);
    for (size_t i = 0; i < ring.curves.size(); ++i) {
      const PathCurve& c = ring.curves[i];
      area += radius * curveLength(c) + 0.5 * radius * radius * c.sweep;
      // The turn from this curve into the next; the area lies to the left.
      const Point2 a = directionAt(c, 1.0);
      const Point2 b = directionAt(ring.curves[(i + 1) % ring.curves.size()], 0.0);
      const double turn = std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
      area += turn >= 0.0 ? 0.5 * radius * radius * turn
                          : -radius * radius * std::tan(std::min(-0.5 * turn, 1.5));
    }
  }
  return area;
}

bool loopEncloses(const std::vector<PathCurve>& loop, Point2 p) {
  bool inside = false;
  Point2 a = loop.empty() ? p : loop.front().start;
  const auto edge = [&](Point2 b) {
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y)) {
      inside = !inside;
    }
    a = b;
  };
  for (const PathCurve& c : loop) {
    const int steps =
        c.isArc() ? std::max(1, static_cast<int>(std::ceil(std::fabs(c.sweep) / kInsideStep))) : 1;
    for (int k = 1; k <= steps; ++k) edge(k == steps ? c.end : pointAt(c, double(k) / steps));
  }
  return inside;
}

PocketRings pocketRings(const std::vector<std::vector<PathCurve>>& loops,
                        const std::vector<double>& distances) {
  PocketRings out;
  std::vector<double> areas;  // per ring: the size of the area it encloses
  size_t levelStart = 0;      // the first component of the level before
  for (size_t level = 0; level < distances.size(); ++level) {
    std::vector<PocketRing> rings =
        ringsAt(loops, distances[level], level == 0 ? &out.misfits : nullptr);
    if (rings.empty()) break;
    const size_t firstRing = out.rings.size();
    const size_t firstComponent = out.components.size();
    for (PocketRing& r : rings) {
      r.level = level;
      const double area = r.closed ? loopArea(r.curves) : 0.0;
      r.outer = area > 0.0;
      areas.push_back(std::fabs(area));
      out.rings.push_back(std::move(r));
    }
    // Every outer ring is a component of its own; the rest join the
    // smallest that encloses them.
    for (size_t r = firstRing; r < out.rings.size(); ++r) {
      if (!out.rings[r].outer) continue;
      out.rings[r].component = out.components.size();
      out.components.push_back({.level = level, .rings = {r}, .children = {}});
    }
    for (size_t r = firstRing; r < out.rings.size(); ++r) {
      if (out.rings[r].outer) continue;
      int64_t c = enclosingComponent(out, firstComponent, out.components.size(),
                                     midpoint(out.rings[r]), areas);
      if (c < 0) {
        c = static_cast<int64_t>(out.components.size());
        out.components.push_back({.level = level, .rings = {}, .children = {}});
      }
      out.rings[r].component = static_cast<size_t>(c);
      out.components[static_cast<size_t>(c)].rings.push_back(r);
    }
    for (size_t c = firstComponent; c < out.components.size(); ++c) {
      const Point2 p = out.rings[out.components[c].rings.front()].curves.front().start;
      const int64_t parent =
          level == 0 ? -1 : enclosingComponent(out, levelStart, firstComponent, p, areas);
      if (parent >= 0) {
        out.components[c].parent = parent;
        out.components[static_cast<size_t>(parent)].children.push_back(c);
      } else {
        out.roots.push_back(c);
      }
    }
    levelStart = firstComponent;
  }
  return out;
}

}  // namespace brevanto
