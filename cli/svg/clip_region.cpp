#include "clip_region.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "clip_polygons.h"

namespace brevanto::cli {
namespace {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

constexpr int kMaxCurvePieces = 4096;

IntPoint toInt(double x, double y) {
  return {static_cast<cInt>(std::llround(x * kUnitsPerMm)),
          static_cast<cInt>(std::llround(y * kUnitsPerMm))};
}

// The piece's points from start to end, flattened within kFlatnessMm, with
// repeated points left out.
Path flatten(const Segment& s) {
  Path path{toInt(s.x0, s.y0)};
  auto add = [&](double x, double y) {
    const IntPoint p = toInt(x, y);
    if (!(p == path.back())) path.push_back(p);
  };
  if (s.kind == 1) {
    // Uniform steps: the chord of a step strays from the cubic by at most
    // 1/8 · (step)² · max|B''|, and |B''| ≤ 6 · the control polygon's largest
    // second difference.
    const double d1 = std::hypot(s.x0 - 2 * s.x1 + s.x2, s.y0 - 2 * s.y1 + s.y2);
    const double d2 = std::hypot(s.x1 - 2 * s.x2 + s.x3, s.y1 - 2 * s.y2 + s.y3);
    const double bound = 0.75 * std::max(d1, d2) / ClipRegion::kFlatnessMm;
    const int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(bound))), 1, kMaxCurvePieces);
    for (int i = 1; i < n; ++i) {
      const double t = static_cast<double>(i) / n;
      const double u = 1.0 - t;
      const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
      add(a * s.x0 + b * s.x1 + c * s.x2 + d * s.x3, a * s.y0 + b * s.y1 + c * s.y2 + d * s.y3);
    }
  }
  add(s.x3, s.y3);
  return path;
}

// Where a point lies along a polyline, as edge index plus fraction.
double positionAlong(const Path& line, const IntPoint& p) {
  double best = 0.0;
  double bestDistance = INFINITY;
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    const double ax = static_cast<double>(line[i].X), ay = static_cast<double>(line[i].Y);
    const double dx = static_cast<double>(line[i + 1].X) - ax;
    const double dy = static_cast<double>(line[i + 1].Y) - ay;
    const double px = static_cast<double>(p.X) - ax, py = static_cast<double>(p.Y) - ay;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0.0 ? std::clamp((px * dx + py * dy) / len2, 0.0, 1.0) : 0.0;
    const double distance = std::hypot(px - t * dx, py - t * dy);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<double>(i) + t;
    }
  }
  return best;
}

}  // namespace

Paths polygonsOf(const std::vector<Segment>& pieces) {
  Paths polygons;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i == 0 || pieces[i].shapeKey != pieces[i - 1].shapeKey) polygons.emplace_back();
    const Path points = flatten(pieces[i]);
    Path& polygon = polygons.back();
    polygon.insert(polygon.end(), points.begin() + (polygon.empty() ? 0 : 1), points.end());
  }
  return polygons;
}

// The nearest point of the region's edge, for a point of the grown region's
// edge; the point itself when none is that near.
IntPoint ClipRegion::onEdge(const IntPoint& p) const {
  double best = 2.0 * kOnEdgeMm * kUnitsPerMm;
  IntPoint nearest = p;
  const double px = static_cast<double>(p.X), py = static_cast<double>(p.Y);
  auto tryEdge = [&](const Path& polygon, size_t i) {
    const IntPoint& a = polygon[i];
    const IntPoint& b = polygon[(i + 1) % polygon.size()];
    const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
    const double dx = static_cast<double>(b.X) - ax, dy = static_cast<double>(b.Y) - ay;
    const double len2 = dx * dx + dy * dy;
    const double t =
        len2 > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
    const double qx = ax + t * dx, qy = ay + t * dy;
    const double d = std::hypot(px - qx, py - qy);
    if (d < best) {
      best = d;
      nearest = {static_cast<cInt>(std::llround(qx)), static_cast<cInt>(std::llround(qy))};
    }
  };
  if (edges_.empty()) {
    for (const Path& polygon : area_) {
      for (size_t i = 0; i < polygon.size(); ++i) tryEdge(polygon, i);
    }
  } else {
    // The same edges in the same order, less those too far to matter.
    for (const int32_t k : edges_.near(p)) {
      const auto [polygon, i] = edges_.edge(k);
      tryEdge(area_[polygon], i);
    }
  }
  return nearest;
}

void ClipRegion::grow() {
  ClipperLib::ClipperOffset offset;
  offset.AddPaths(area_, ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
  grown_.clear();
  offset.Execute(grown_, kOnEdgeMm * kUnitsPerMm);
  grownBox_ = {0, 0, -1, -1};
  bool firstPoint = true;
  for (const Path& polygon : grown_) {
    for (const IntPoint& p : polygon) {
      if (firstPoint) grownBox_ = {p.X, p.Y, p.X, p.Y};
      firstPoint = false;
      grownBox_ = {std::min(grownBox_.left, p.X), std::min(grownBox_.top, p.Y),
                   std::max(grownBox_.right, p.X), std::max(grownBox_.bottom, p.Y)};
    }
  }
  edges_ = EdgeGrid(area_, 2.0 * kOnEdgeMm * kUnitsPerMm);
  size_t points = 0;
  for (const Path& polygon : grown_) points += polygon.size();
  tiles_ = points < kTiledEdges
               ? 0
               : static_cast<int32_t>(std::clamp(std::ceil(std::sqrt(points / 64.0)), 2.0, 64.0));
  crops_.clear();
}

ClipRegion ClipRegion::rectangle(double x0, double y0, double x1, double y1) {
  ClipRegion out;
  out.area_.push_back({toInt(x0, y0), toInt(x1, y0), toInt(x1, y1), toInt(x0, y1)});
  out.rectangle_ = true;
  out.left_ = std::min(x0, x1), out.right_ = std::max(x0, x1);
  out.top_ = std::min(y0, y1), out.bottom_ = std::max(y0, y1);
  out.grow();
  return out;
}

const Paths& ClipRegion::around(cInt minX, cInt minY, cInt maxX, cInt maxY) const {
  if (tiles_ == 0) return grown_;
  const double width = static_cast<double>(grownBox_.right - grownBox_.left) + 1.0;
  const double height = static_cast<double>(grownBox_.bottom - grownBox_.top) + 1.0;
  auto tile = [&](cInt v, cInt from, double size) {
    const double at = std::floor(static_cast<double>(v - from) * tiles_ / size);
    return static_cast<int32_t>(std::clamp(at, 0.0, static_cast<double>(tiles_ - 1)));
  };
  const std::array<int32_t, 4> key{
      tile(minX, grownBox_.left, width), tile(minY, grownBox_.top, height),
      tile(maxX, grownBox_.left, width), tile(maxY, grownBox_.top, height)};
  if (key[0] == 0 && key[1] == 0 && key[2] == tiles_ - 1 && key[3] == tiles_ - 1) return grown_;
  if (const auto found = crops_.find(key); found != crops_.end()) return found->second;
  if (crops_.size() >= kMostCrops) crops_.clear();
  // The tiles and a margin beyond them, so that nothing inside lies on the cut.
  constexpr cInt kMargin = 10;
  auto at = [&](int32_t t, cInt from, double size) {
    return static_cast<cInt>(std::llround(static_cast<double>(from) + t * size / tiles_));
  };
  const cInt x0 = at(key[0], grownBox_.left, width) - kMargin;
  const cInt y0 = at(key[1], grownBox_.top, height) - kMargin;
  const cInt x1 = at(key[2] + 1, grownBox_.left, width) + kMargin;
  const cInt y1 = at(key[3] + 1, grownBox_.top, height) + kMargin;
  ClipperLib::Clipper clipper;
  clipper.AddPaths(grown_, ClipperLib::ptSubject, true);
  clipper.AddPath(Path{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, ClipperLib::ptClip, true);
  Paths& crop = crops_[key];
  clipper.Execute(ClipperLib::ctIntersection, crop, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  return crop;
}

bool ClipRegion::addFilledOutline(const std::vector<Segment>& pieces, bool evenOdd) {
  // Each outline's own fill rule is settled here; what is left is filled by
  // the non-zero rule, holes running against their outlines, so all the
  // outlines together are joined by one non-zero union.
  Paths polygons = polygonsOf(pieces);
  for (const Path& polygon : polygons) addedEdges_ += polygon.size();
  if (addedEdges_ > kMostEdges) return false;
  ClipperLib::SimplifyPolygons(polygons, evenOdd ? ClipperLib::pftEvenOdd : ClipperLib::pftNonZero);
  added_.insert(added_.end(), std::make_move_iterator(polygons.begin()),
                std::make_move_iterator(polygons.end()));
  rectangle_ = false;
  return true;
}

void ClipRegion::finish() {
  ClipperLib::Clipper clipper;
  clipper.AddPaths(area_, ClipperLib::ptSubject, true);
  clipper.AddPaths(added_, ClipperLib::ptClip, true);
  Paths joined;
  clipper.Execute(ClipperLib::ctUnion, joined, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  area_ = std::move(joined);
  added_.clear();
  grow();
}

ClipRegion ClipRegion::intersection(const ClipRegion& other) const {
  ClipRegion out;
  ClipperLib::Clipper clipper;
  clipper.AddPaths(area_, ClipperLib::ptSubject, true);
  clipper.AddPaths(other.area_, ClipperLib::ptClip, true);
  clipper.Execute(ClipperLib::ctIntersection, out.area_, ClipperLib::pftNonZero,
                  ClipperLib::pftNonZero);
  out.grow();
  return out;
}

std::vector<Segment> ClipRegion::clipOutline(const std::vector<Segment>& pieces,
                                             bool& removed) const {
  std::vector<Segment> out;
  const ClipperLib::IntRect& box = grownBox_;
  int32_t subpath = -1;
  bool joined = false;  // the next kept piece may continue the last one
  auto keep = [&](Segment s, bool continues) {
    if (!continues || !joined || out.empty() || out.back().x3 != s.x0 || out.back().y3 != s.y0) {
      ++subpath;
    }
    s.shapeKey = subpath;
    out.push_back(s);
    joined = true;
  };
  for (size_t i = 0; i < pieces.size(); ++i) {
    const Segment& piece = pieces[i];
    const bool sameSubpath = i > 0 && piece.shapeKey == pieces[i - 1].shapeKey;
    if (!sameSubpath) joined = false;
    if (rectangle_) {
      const bool curve = piece.kind == 1;
      const double xs[4] = {piece.x0, piece.x3, curve ? piece.x1 : piece.x0,
                            curve ? piece.x2 : piece.x0};
      const double ys[4] = {piece.y0, piece.y3, curve ? piece.y1 : piece.y0,
                            curve ? piece.y2 : piece.y0};
      const double m = kOnEdgeMm;
      if (*std::min_element(xs, xs + 4) >= left_ - m &&
          *std::max_element(xs, xs + 4) <= right_ + m &&
          *std::min_element(ys, ys + 4) >= top_ - m &&
          *std::max_element(ys, ys + 4) <= bottom_ + m) {
        keep(piece, true);
        continue;
      }
    }
    const Path line = flatten(piece);
    cInt minX = line[0].X, maxX = line[0].X, minY = line[0].Y, maxY = line[0].Y;
    for (const IntPoint& p : line) {
      minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
      minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
    }
    if (grown_.empty() || maxX < box.left || minX > box.right || maxY < box.top ||
        minY > box.bottom) {
      removed = true;
      joined = false;
      continue;
    }
    ClipperLib::Clipper clipper;
    clipper.AddPath(line, ClipperLib::ptSubject, false);
    clipper.AddPaths(around(minX, minY, maxX, maxY), ClipperLib::ptClip, true);
    ClipperLib::PolyTree tree;
    clipper.Execute(ClipperLib::ctIntersection, tree, ClipperLib::pftNonZero,
                    ClipperLib::pftNonZero);
    Paths inside;
    ClipperLib::OpenPathsFromPolyTree(tree, inside);
    if (inside.size() == 1 && inside[0].size() == line.size() &&
        ((inside[0].front() == line.front() && inside[0].back() == line.back()) ||
         (inside[0].front() == line.back() && inside[0].back() == line.front()))) {
      keep(piece, true);  // untouched by the boundary
      continue;
    }
    removed = true;
    // Clipper gives the parts in no particular order or direction: put them
    // back in the order and direction of the piece.
    struct Part {
      double from;
      Path points;
    };
    std::vector<Part> parts;
    for (Path& p : inside) {
      if (p.size() < 2) continue;
      double a = positionAlong(line, p.front());
      const double b = positionAlong(line, p.back());
      if (b < a) {
        std::reverse(p.begin(), p.end());
        a = b;
      }
      parts.push_back({a, std::move(p)});
    }
    std::sort(parts.begin(), parts.end(),
              [](const Part& x, const Part& y) { return x.from < y.from; });
    for (size_t k = 0; k < parts.size(); ++k) {
      Path& p = parts[k].points;
      // The first part continues the subpath only when it starts at the piece's start.
      bool continues = k == 0 && p.front() == line.front();
      const bool endsThePiece = p.back() == line.back();
      // Where the piece crosses the edge, the end goes onto the region's own edge.
      if (!(p.front() == line.front())) p.front() = onEdge(p.front());
      if (!endsThePiece) p.back() = onEdge(p.back());
      for (size_t j = 0; j + 1 < p.size(); ++j) {
        if (p[j] == p[j + 1]) continue;
        Segment s{};
        s.kind = 0;
        s.x0 = static_cast<double>(p[j].X) / kUnitsPerMm;
        s.y0 = static_cast<double>(p[j].Y) / kUnitsPerMm;
        s.x3 = static_cast<double>(p[j + 1].X) / kUnitsPerMm;
        s.y3 = static_cast<double>(p[j + 1].Y) / kUnitsPerMm;
        if (j == 0 && continues) {
          s.x0 = piece.x0;  // exactly where the last piece ended
          s.y0 = piece.y0;
        }
        keep(s, j > 0 || continues);
      }
      // The last part's end joins the next piece only where it ends the piece.
      joined = endsThePiece;
      if (joined && !out.empty()) {
        out.back().x3 = piece.x3;
        out.back().y3 = piece.y3;
      }
    }
  }
  return out;
}

}  // namespace brevanto::cli
