#include "geometry/tool_clearance.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "geometry/curve_key.h"

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;
// A tool position may come this much nearer than the radius to an outline
// (mm): the rounding of the arithmetic, far below the program's 0.0001.
constexpr double kRoundingAllowance = 1e-6;
// Eight pieces to a leaf of the index: fewer nodes opened per search, few
// pieces measured in vain.
constexpr size_t kLeaf = 8;

// A box around the curve: its ends, grown for an arc by its sagitta (or,
// beyond a quarter turn, the whole circle).
Box curveBox(const PathCurve& c) {
  const Point2 ends[] = {c.start, c.end};
  Box b = boxAround(ends);
  if (!c.isArc()) return b;
  if (std::fabs(c.sweep) > kPi / 2.0) {
    return {c.centre.x - c.radius, c.centre.y - c.radius, c.centre.x + c.radius,
            c.centre.y + c.radius};
  }
  const double sagitta = c.radius * (1.0 - std::cos(0.5 * c.sweep));
  return {b.minX - sagitta, b.minY - sagitta, b.maxX + sagitta, b.maxY + sagitta};
}

}  // namespace

ToolClearance::ToolClearance(const std::vector<const std::vector<PathCurve>*>& loops,
                             double toolRadius)
    : radius_(toolRadius), reach_(2.0 * toolRadius), limit_(toolRadius - kRoundingAllowance) {
  std::vector<Point2> ends;
  int64_t curves = 0;
  for (const auto* loop : loops) {
    first_.push_back(curves);
    curves += static_cast<int64_t>(loop->size());
    // An arc's bulge, not only its ends: a point beyond the box of the
    // ends may lie near it.
    for (const PathCurve& c : *loop) {
      const Box b = curveBox(c);
      ends.push_back({b.minX, b.minY});
      ends.push_back({b.maxX, b.maxY});
    }
  }
  const Box around = boxAround(ends);
  bounds_ = {around.minX - reach_, around.minY - reach_, around.maxX + reach_,
             around.maxY + reach_};
  // Outlines drawn over one another (a shape pasted many times in one
  // place) have curves and pieces that are exactly alike: the pieces are sized
  // by the distinct curves, and each piece is kept once, with the other
  // curves it belongs to, so that a search near them meets one piece instead
  // of hundreds. The distance to it is the same whichever it is.
  std::unordered_map<CurveKey, size_t, CurveKeyHash> seen;
  double length = 0.0;
  int64_t distinct = 0;
  for (const auto* loop : loops) {
    for (const PathCurve& c : *loop) {
      if (!seen.try_emplace(CurveKey::of(c), 0).second) continue;
      length += curveLength(c);
      ++distinct;
    }
  }
  seen.clear();
  for (const auto* loop : loops) {
    for (const PathCurve& c : *loop) total_ += curveLength(c);
  }
  // Pieces no longer than the side of a square of the outlines' area shared
  // four to a curve: short pieces' boxes hug the outline, so a search
  // measures a handful of them, however large or small the tool. No more
  // than about sixteen pieces to a curve, however long the curves.
  const double cell = std::max(CellGrid::cellSizeFor(bounds_, 4 * std::max<int64_t>(distinct, 1)),
                               length / (16.0 * countAsDouble(std::max<int64_t>(distinct, 1))));
  int64_t curve = 0;
  for (const auto* loop : loops) {
    for (const PathCurve& c : *loop) {
      const double n = boundedCount(std::ceil(curveLength(c) / cell), 1.0, 1.0e7);
      for (double i = 0.0; i < n; ++i) {
        const PathCurve piece = subCurve(c, i / n, (i + 1.0) / n);
        const auto [found, added] = seen.try_emplace(CurveKey::of(piece), pieces_.size());
        if (!added) {
          alsoOf_.emplace(found->second, curve);
          continue;
        }
        pieces_.push_back(piece);
        pieceCurve_.push_back(curve);
      }
      ++curve;
    }
  }
  std::vector<NearestIndex::Box> boxes;
  boxes.reserve(pieces_.size());
  for (const PathCurve& piece : pieces_) {
    const Box b = curveBox(piece);
    boxes.push_back({b.minX, b.minY, b.maxX, b.maxY});
  }
  // The larger gap along x or y keeps the search's answer the exact least of
  // the pieces' distances as distanceTo rounds them.
  index_ = NearestIndex(std::move(boxes), NearestIndex::Gap::LargerGap, false, kLeaf);
  index_.arrange(pieces_);
  index_.arrange(pieceCurve_);
  if (!alsoOf_.empty()) {
    std::vector<size_t> place(pieces_.size());
    for (size_t k = 0; k < place.size(); ++k) place[index_.order()[k]] = k;
    std::unordered_multimap<size_t, int64_t> also;
    for (const auto& [piece, curve] : alsoOf_) also.emplace(place[piece], curve);
    alsoOf_ = std::move(also);
  }
}

// A piece is left out of the search only when every curve it belongs to is.
bool ToolClearance::skipped(size_t piece, int64_t skipA, int64_t skipB) const {
  const auto skip = [&](int64_t curve) { return curve == skipA || curve == skipB; };
  if (!skip(pieceCurve_[piece])) return false;
  if (alsoOf_.empty()) return true;
  const auto [from, to] = alsoOf_.equal_range(piece);
  return std::all_of(from, to, [&](const auto& entry) { return skip(entry.second); });
}

double ToolClearance::room(Point2 p, int64_t skipA, int64_t skipB, size_t* hint) const {
  const bool inside =
      p.x >= bounds_.minX && p.x <= bounds_.maxX && p.y >= bounds_.minY && p.y <= bounds_.maxY;
  if (!inside) return reach_ - limit_;
  struct PieceDistance {
    const ToolClearance& clearance;
    Point2 p;
    int64_t skipA, skipB;
    [[nodiscard]] bool skip(size_t piece) const { return clearance.skipped(piece, skipA, skipB); }
    [[nodiscard]] double distance(size_t piece) const {
      return distanceTo(clearance.pieces_[piece], p);
    }
  };
  NearestIndex::Search search{
      .x = p.x, .y = p.y, .reach = reach_, .useHint = hint != nullptr, .hint = hint ? *hint : 0};
  const double nearest = index_.nearest(search, PieceDistance{*this, p, skipA, skipB});
  if (hint) *hint = search.hint;
  return nearest - limit_;
}

}  // namespace brevanto
