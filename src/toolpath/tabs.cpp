#include "toolpath/tabs.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace brevanto {
namespace {

// Where the direction turns by more than this at a junction, the tool's path
// has a corner a tab would sit badly on (the bridge would be cut askew).
constexpr double kCornerTurn = 10.0 * 3.141592653589793 / 180.0;

// Distances along the path of its corners.
std::vector<double> cornersOf(const ContourPath& path) {
  std::vector<double> corners;
  const auto& pieces = path.pieces();
  for (size_t i = 0; i < pieces.size(); ++i) {
    const PathPiece& a = pieces[i];
    const PathPiece& b = pieces[(i + 1) % pieces.size()];
    const Point2 u = directionOn(a, a.length);
    const Point2 v = directionOn(b, 0.0);
    const double turn = std::atan2(u.x * v.y - u.y * v.x, u.x * v.x + u.y * v.y);
    if (std::fabs(turn) > kCornerTurn) corners.push_back(a.startS + a.length);
  }
  return corners;
}

}  // namespace

std::vector<double> placeTabs(const ContourPath& path, int32_t count, const TabFootprint& foot,
                              double keepStart, double keepEnd, double gap) {
  std::vector<double> centres;
  const double length = path.length();
  if (count <= 0 || path.empty()) return centres;
  const double before = foot.climb + foot.top * 0.5;
  const double after = foot.descent + foot.top * 0.5;
  // The places a centre may take, as closed intervals.
  std::vector<std::pair<double, double>> free{{keepStart + before, length - keepEnd - after}};
  for (const double c : cornersOf(path)) {
    std::vector<std::pair<double, double>> rest;
    for (const auto& [lo, hi] : free) {
      // A corner at c must not lie within the footprint [x - before, x + after].
      if (lo < c - after) rest.emplace_back(lo, std::min(hi, c - after));
      if (hi > c + before) rest.emplace_back(std::max(lo, c + before), hi);
    }
    free = std::move(rest);
  }
  std::erase_if(free, [](const auto& i) { return !(i.second >= i.first); });
  double earliest = -1e300;  // where the next centre may lie at the least
  for (int32_t i = 0; i < count; ++i) {
    const double want = std::max((i + 0.5) * length / count, earliest);
    double best = 0.0, bestOff = 1e300;
    for (const auto& [lo, hi] : free) {
      if (hi < earliest) continue;
      const double at = std::clamp(want, std::max(lo, earliest), hi);
      if (std::fabs(at - want) < bestOff) best = at, bestOff = std::fabs(at - want);
    }
    if (bestOff == 1e300) break;
    centres.push_back(best);
    earliest = best + foot.total() + gap;
  }
  return centres;
}

int32_t tabsBySpacing(double length, double spacing) {
  if (!(spacing > 0.0)) return 1;
  return static_cast<int32_t>(std::clamp(std::floor(length / spacing), 1.0, 1000.0));
}

}  // namespace brevanto
