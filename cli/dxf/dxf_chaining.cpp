#include "dxf_chaining.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace brevanto::cli::dxf {
namespace {

constexpr double kCell = 2.0 * kChainGapMm;

int64_t cellOf(double v) {
  return static_cast<int64_t>(std::floor(std::clamp(v, -2.0e6, 2.0e6) / kCell));
}

int64_t keyOf(int64_t cx, int64_t cy) {
  return cx * 4'000'000'007LL + cy;
}

bool near(Point a, Point b) {
  return std::fabs(a.x - b.x) <= kChainGapMm && std::fabs(a.y - b.y) <= kChainGapMm &&
         std::hypot(a.x - b.x, a.y - b.y) <= kChainGapMm;
}

void reverse(Outline& o) {
  std::reverse(o.pieces.begin(), o.pieces.end());
  for (Piece& p : o.pieces) {
    std::swap(p.p0, p.p3);
    std::swap(p.p1, p.p2);
  }
}

// Moves a piece's start onto `to`, its first handle with it.
void moveStart(Piece& p, Point to) {
  const double dx = to.x - p.p0.x, dy = to.y - p.p0.y;
  p.p0 = to;
  if (p.cubic) p.p1 = {p.p1.x + dx, p.p1.y + dy};
}

void moveEnd(Piece& p, Point to) {
  const double dx = to.x - p.p3.x, dy = to.y - p.p3.y;
  p.p3 = to;
  if (p.cubic) p.p2 = {p.p2.x + dx, p.p2.y + dy};
}

class EndGrid {
 public:
  explicit EndGrid(const std::vector<Outline>& outlines) : outlines_(outlines) {
    for (size_t i = 0; i < outlines.size(); ++i) {
      const Outline& o = outlines[i];
      if (o.closed || o.pieces.empty()) continue;
      add(o.pieces.front().p0, 2 * i);
      add(o.pieces.back().p3, 2 * i + 1);
    }
  }

  // The first unused open outline (by index) other than those used with an
  // end within the gap of `at` and the same layer and colour; its end (2 i
  // for the start, 2 i + 1 for the end) or SIZE_MAX.
  size_t find(Point at, const Outline& like, const std::vector<bool>& used) const {
    size_t best = SIZE_MAX;
    const int64_t cx = cellOf(at.x), cy = cellOf(at.y);
    for (int64_t dx = -1; dx <= 1; ++dx) {
      for (int64_t dy = -1; dy <= 1; ++dy) {
        const auto it = cells_.find(keyOf(cx + dx, cy + dy));
        if (it == cells_.end()) continue;
        for (const size_t end : it->second) {
          const Outline& o = outlines_[end / 2];
          if (used[end / 2] || end >= best || o.layer != like.layer || o.rgb != like.rgb) continue;
          if (near(at, end % 2 == 0 ? o.pieces.front().p0 : o.pieces.back().p3)) best = end;
        }
      }
    }
    return best;
  }

 private:
  void add(Point p, size_t end) { cells_[keyOf(cellOf(p.x), cellOf(p.y))].push_back(end); }

  const std::vector<Outline>& outlines_;
  std::unordered_map<int64_t, std::vector<size_t>> cells_;
};

}  // namespace

std::vector<Outline> chainOutlines(std::vector<Outline>&& outlines) {
  const EndGrid grid(outlines);
  std::vector<bool> used(outlines.size(), false);
  std::vector<Outline> out;
  for (size_t i = 0; i < outlines.size(); ++i) {
    if (used[i] || outlines[i].pieces.empty()) continue;
    used[i] = true;
    Outline chain = std::move(outlines[i]);
    if (chain.closed) {
      moveEnd(chain.pieces.back(), chain.pieces.front().p0);
      out.push_back(std::move(chain));
      continue;
    }
    // Forwards from the end, then backwards from the start; what goes before
    // the start is gathered aside (nearest first) and put in front once.
    std::vector<std::vector<Piece>> before;
    const auto first = [&]() -> Point {
      return before.empty() ? chain.pieces.front().p0 : before.back().front().p0;
    };
    for (int side = 0; side < 2; ++side) {
      for (;;) {
        const Point at = side == 0 ? chain.pieces.back().p3 : first();
        if (near(chain.pieces.back().p3, first()) && (chain.pieces.size() > 1 || !before.empty())) {
          break;  // closed
        }
        const size_t end = grid.find(at, chain, used);
        if (end == SIZE_MAX) break;
        used[end / 2] = true;
        Outline next = std::move(outlines[end / 2]);
        const bool atStart = end % 2 == 0;
        if (side == 0) {
          if (!atStart) reverse(next);
          moveStart(next.pieces.front(), at);
          chain.pieces.insert(chain.pieces.end(), next.pieces.begin(), next.pieces.end());
        } else {
          if (atStart) reverse(next);
          moveEnd(next.pieces.back(), at);
          before.push_back(std::move(next.pieces));
        }
      }
    }
    if (!before.empty()) {
      std::vector<Piece> whole;
      for (auto it = before.rbegin(); it != before.rend(); ++it) {
        whole.insert(whole.end(), it->begin(), it->end());
      }
      whole.insert(whole.end(), chain.pieces.begin(), chain.pieces.end());
      chain.pieces = std::move(whole);
    }
    if (chain.pieces.size() > 1 && near(chain.pieces.back().p3, chain.pieces.front().p0)) {
      moveEnd(chain.pieces.back(), chain.pieces.front().p0);
      chain.closed = true;
    }
    out.push_back(std::move(chain));
  }
  return out;
}

}  // namespace brevanto::cli::dxf
