// The nearest-distance index against measuring every item: random segments,
// searched with a reach, an early answer, skipped items and a hint.
#include "brevanto/nearest_index.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace brevanto {
namespace {

struct Segment2 {
  double ax, ay, bx, by;
};

double segmentDistance(const Segment2& s, double x, double y) {
  const double dx = s.bx - s.ax, dy = s.by - s.ay;
  const double length2 = dx * dx + dy * dy;
  double t = length2 > 0.0 ? ((x - s.ax) * dx + (y - s.ay) * dy) / length2 : 0.0;
  t = std::fmax(0.0, std::fmin(1.0, t));
  return std::hypot(x - (s.ax + t * dx), y - (s.ay + t * dy));
}

struct SegmentMeasure {
  const std::vector<Segment2>& items;
  double x, y;
  int skipEvery;  // 0: none skipped
  [[nodiscard]] double distance(size_t i) const { return segmentDistance(items[i], x, y); }
  [[nodiscard]] bool skip(size_t i) const { return skipEvery > 0 && i % skipEvery == 0; }
};

// The same with a cheap answer: an end within `enough`.
struct CheapSegmentMeasure : SegmentMeasure {
  [[nodiscard]] double within(size_t i, double enough) const {
    const double d = std::hypot(x - items[i].ax, y - items[i].ay);
    return d <= enough ? d : std::numeric_limits<double>::infinity();
  }
};

TEST(NearestIndex, AgreesWithMeasuringEveryItem) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  struct Case {
    const char* name;
    size_t items;
    NearestIndex::Gap gap;
    bool inOrder;
    size_t leaf;
    double reach;
    double enough;  // -1: none
    int skipEvery;
    bool hint;
  };
  const Case cases[] = {
      {"exact", 500, NearestIndex::Gap::Euclidean, false, 4, kInf, -1, 0, false},
      {"larger gap", 500, NearestIndex::Gap::LargerGap, false, 8, kInf, -1, 0, false},
      {"within a reach", 500, NearestIndex::Gap::LargerGap, false, 8, 3.0, -1, 0, true},
      {"skipping items", 300, NearestIndex::Gap::LargerGap, false, 8, 10.0, -1, 3, true},
      {"a path, hinted", 400, NearestIndex::Gap::Euclidean, true, 4, kInf, -1, 0, true},
      {"enough", 400, NearestIndex::Gap::Euclidean, true, 4, kInf, 2.0, 0, true},
      {"one item", 1, NearestIndex::Gap::Euclidean, false, 4, kInf, -1, 0, true},
      {"none", 0, NearestIndex::Gap::LargerGap, false, 4, 5.0, -1, 0, false},
  };
  std::mt19937 random(21);
  std::uniform_real_distribution<double> place(0.0, 100.0), step(-4.0, 4.0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Segment2> items;
    double x = 50.0, y = 50.0;
    for (size_t i = 0; i < c.items; ++i) {
      // A path: each segment starts where the last ended; else scattered.
      const double ax = c.inOrder ? x : place(random), ay = c.inOrder ? y : place(random);
      items.push_back({ax, ay, ax + step(random), ay + step(random)});
      x = items.back().bx;
      y = items.back().by;
    }
    std::vector<NearestIndex::Box> boxes;
    for (const Segment2& s : items) {
      boxes.push_back({std::fmin(s.ax, s.bx), std::fmin(s.ay, s.by), std::fmax(s.ax, s.bx),
                       std::fmax(s.ay, s.by)});
    }
    const NearestIndex index(boxes, c.gap, c.inOrder, c.leaf);
    index.arrange(items);
    size_t hint = 0;
    for (int q = 0; q < 200; ++q) {
      const double px = place(random) * 1.2 - 10.0, py = place(random) * 1.2 - 10.0;
      NearestIndex::Search search{
          .x = px, .y = py, .reach = c.reach, .enough = c.enough, .useHint = c.hint, .hint = hint};
      const CheapSegmentMeasure measure{{items, px, py, c.skipEvery}};
      const double found = c.enough >= 0.0 ? index.nearest(search, measure)
                                           : index.nearest(search, SegmentMeasure(measure));
      double least = c.reach;
      for (size_t i = 0; i < items.size(); ++i) {
        if (!measure.skip(i)) least = std::fmin(least, segmentDistance(items[i], px, py));
      }
      if (c.enough >= 0.0 && least <= c.enough) {
        EXPECT_LE(found, c.enough) << "at " << px << "," << py;
      } else {
        EXPECT_EQ(found, least) << "at " << px << "," << py;
      }
      EXPECT_EQ(search.measured == 0, items.empty());
      if (found < c.reach && !items.empty()) {
        EXPECT_FALSE(measure.skip(search.hint));
        EXPECT_LE(segmentDistance(items[search.hint], px, py), std::fmax(found, c.enough)) << q;
      }
      hint = search.hint;
    }
  }
}

}  // namespace
}  // namespace brevanto
