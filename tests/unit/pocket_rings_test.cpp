// The rings of a pocket: how the area splits and merges, and the area the
// tool's disc covers from the outermost rings.
#include "geometry/pocket_rings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

std::vector<PathCurve> polygon(const std::vector<Point2>& p) {
  std::vector<PathCurve> loop;
  for (size_t i = 0; i < p.size(); ++i) loop.push_back(lineCurve(p[i], p[(i + 1) % p.size()]));
  return loop;
}

std::vector<PathCurve> circle(Point2 c, double r) {  // clockwise: an island
  const Point2 from{c.x + r, c.y};
  return {arcCurve(c, from, {c.x - r, c.y}, -kPi), arcCurve(c, {c.x - r, c.y}, from, -kPi)};
}

TEST(PocketRings, PiecesSplitAtANeckAndIslandsJoinTheirPiece) {
  const std::vector<PathCurve> plate = polygon({{0, 0}, {100, 0}, {100, 60}, {0, 60}});
  const std::vector<PathCurve> strip = polygon({{0, 0}, {100, 0}, {100, 40}, {0, 40}});
  const std::vector<PathCurve> neck = polygon({{0, 0},
                                               {30, 0},
                                               {30, 11},
                                               {45, 11},
                                               {45, 0},
                                               {75, 0},
                                               {75, 30},
                                               {45, 30},
                                               {45, 19},
                                               {30, 19},
                                               {30, 30},
                                               {0, 30}});
  const struct {
    const char* name;
    std::vector<std::vector<PathCurve>> region;
    double distance;
    size_t pieces, outer, islands;
  } cases[] = {
      {"neck wider than the tool", {neck}, 3.0, 1, 1, 0},
      {"neck narrower than the tool", {neck}, 5.0, 2, 2, 0},
      {"plate, islands apart", {plate, circle({30, 30}, 10), circle({70, 30}, 7)}, 3.0, 1, 1, 2},
      // The ring round the island meets the outline's above and below it: the
      // two become the rings of the pieces left and right of the island.
      {"strip, island apart", {strip, circle({50, 20}, 8)}, 5.0, 1, 1, 1},
      {"strip, island merged", {strip, circle({50, 20}, 8)}, 7.0, 2, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const PocketRings rings = pocketRings(c.region, {c.distance});
    size_t outer = 0;
    for (const PocketRing& r : rings.rings) {
      EXPECT_TRUE(r.closed);
      outer += r.outer;
    }
    EXPECT_EQ(rings.components.size(), c.pieces);
    EXPECT_EQ(outer, c.outer);
    EXPECT_EQ(rings.rings.size() - outer, c.islands);
  }
}

// A rectangle keeps (1 - pi/4) r^2 in each corner; a round island loses
// nothing (the offset joins its stretches within 1e-4 mm, hence the margin).
TEST(PocketRings, ReachedAreaLeavesTheCorners) {
  const double r = 3.0;
  const std::vector<std::vector<PathCurve>> region = {
      polygon({{0, 0}, {100, 0}, {100, 60}, {0, 60}}), circle({50, 30}, 10)};
  const double reached = reachedArea(pocketRings(region, {r}), r);
  EXPECT_NEAR(reached, 6000.0 - kPi * 100.0 - 4.0 * (1.0 - kPi / 4.0) * r * r, 1e-3);
}

}  // namespace
}  // namespace brevanto
