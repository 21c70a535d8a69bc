#include <algorithm>
#include <cmath>

#include "clip_polygons.h"
#include "clip_region.h"

namespace brevanto::cli {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

// Ends closer than this are the same point: both come from Clipper's
// rounding of one crossing, in two operations.
constexpr double kSameEndMm = 1.0e-3;

bool near(double ax, double ay, double bx, double by) {
  return std::fabs(ax - bx) <= kSameEndMm && std::fabs(ay - by) <= kSameEndMm;
}

Segment reversed(Segment s) {
  std::swap(s.x0, s.x3);
  std::swap(s.y0, s.y3);
  std::swap(s.x1, s.x2);
  std::swap(s.y1, s.y2);
  return s;
}

}  // namespace

std::vector<Segment> ClipRegion::clipFilledOutline(const std::vector<Segment>& pieces, bool evenOdd,
                                                   bool& removed) const {
  bool cut = false;
  std::vector<Segment> inside = clipOutline(pieces, cut);
  removed = removed || cut;
  if (!cut) return inside;

  // The region's edge within the filled area, as open polylines: only the
  // part of a large region around the area can have any.
  const Paths area = polygonsOf(pieces);
  cInt minX = 0, minY = 0, maxX = -1, maxY = -1;
  bool firstPoint = true;
  for (const Path& polygon : area) {
    for (const IntPoint& p : polygon) {
      if (firstPoint) minX = maxX = p.X, minY = maxY = p.Y;
      firstPoint = false;
      minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
      minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
    }
  }
  ClipperLib::Clipper clipper;
  for (const Path& polygon : around(minX, minY, maxX, maxY)) {
    Path loop = polygon;
    loop.push_back(polygon.front());
    clipper.AddPath(loop, ClipperLib::ptSubject, false);
  }
  clipper.AddPaths(area, ClipperLib::ptClip, true);
  ClipperLib::PolyTree tree;
  clipper.Execute(ClipperLib::ctIntersection, tree, ClipperLib::pftNonZero,
                  evenOdd ? ClipperLib::pftEvenOdd : ClipperLib::pftNonZero);
  Paths edges;
  ClipperLib::OpenPathsFromPolyTree(tree, edges);

  // Chains of pieces: the outline's subpaths that are left, then the edge's.
  std::vector<std::vector<Segment>> chains;
  for (size_t i = 0; i < inside.size(); ++i) {
    if (i == 0 || inside[i].shapeKey != inside[i - 1].shapeKey) chains.emplace_back();
    chains.back().push_back(inside[i]);
  }
  for (Path& edge : edges) {
    for (IntPoint& p : edge) p = onEdge(p);
    std::vector<Segment> chain;
    for (size_t j = 0; j + 1 < edge.size(); ++j) {
      if (edge[j] == edge[j + 1]) continue;
      Segment s{};
      s.x0 = static_cast<double>(edge[j].X) / kUnitsPerMm;
      s.y0 = static_cast<double>(edge[j].Y) / kUnitsPerMm;
      s.x3 = static_cast<double>(edge[j + 1].X) / kUnitsPerMm;
      s.y3 = static_cast<double>(edge[j + 1].Y) / kUnitsPerMm;
      chain.push_back(s);
    }
    if (!chain.empty()) chains.push_back(std::move(chain));
  }

  // Join chains end to end (turning one round where needed) into subpaths,
  // starting from the outline's own in drawing order.
  std::vector<bool> used(chains.size(), false);
  std::vector<Segment> out;
  int32_t subpath = 0;
  for (size_t first = 0; first < chains.size(); ++first) {
    if (used[first]) continue;
    used[first] = true;
    std::vector<Segment> joined = chains[first];
    for (bool grew = true; grew;) {
      grew = false;
      const Segment& head = joined.front();
      const Segment& tail = joined.back();
      if (near(tail.x3, tail.y3, head.x0, head.y0)) break;  // closed
      for (size_t k = 0; k < chains.size() && !grew; ++k) {
        if (used[k]) continue;
        std::vector<Segment>& next = chains[k];
        const bool forward = near(tail.x3, tail.y3, next.front().x0, next.front().y0);
        if (!forward && !near(tail.x3, tail.y3, next.back().x3, next.back().y3)) continue;
        if (!forward) {
          std::reverse(next.begin(), next.end());
          for (Segment& s : next) s = reversed(s);
        }
        next.front().x0 = joined.back().x3;  // exactly where the last piece ended
        next.front().y0 = joined.back().y3;
        joined.insert(joined.end(), next.begin(), next.end());
        used[k] = true;
        grew = true;
      }
    }
    // A closed loop ends exactly where it starts.
    if (joined.size() > 1 &&
        near(joined.back().x3, joined.back().y3, joined.front().x0, joined.front().y0)) {
      joined.back().x3 = joined.front().x0;
      joined.back().y3 = joined.front().y0;
    }
    for (Segment& s : joined) {
      s.shapeKey = subpath;
      out.push_back(s);
    }
    ++subpath;
  }
  return out;
}

}  // namespace brevanto::cli
