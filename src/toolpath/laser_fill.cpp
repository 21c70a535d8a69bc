#include "toolpath/laser_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

// A stretch of a line shorter than this burns nothing worth a move.
constexpr double kShortestLine = 1e-9;  // mm

// The fill's own frame: turned by FillAngle, so that its lines run along u
// at constant v.
struct FillFrame {
  double c = 1.0, s = 0.0;
  [[nodiscard]] Point2 into(Point2 p) const { return {p.x * c + p.y * s, -p.x * s + p.y * c}; }
  [[nodiscard]] Point2 outOf(Point2 q) const { return {q.x * c - q.y * s, q.x * s + q.y * c}; }
};

FillFrame frameOf(const JobSettings& settings) {
  const double a = static_cast<double>(settings.fillAngle) * kPi / 180.0;
  return {std::cos(a), std::sin(a)};
}

// The bands the lines lie in: band k spans [first + k i, first + (k + 1) i]
// and its line runs through its middle.
struct Bands {
  double first = 0.0;
  double interval = 1.0;
  size_t count = 0;
  [[nodiscard]] double line(size_t k) const {
    return first + (static_cast<double>(k) + 0.5) * interval;
  }
};

struct TurnedRings {
  std::vector<FillRing> rings;
  Bands bands;
};

TurnedRings turned(const std::vector<FillRing>& rings, const JobSettings& settings) {
  const FillFrame frame = frameOf(settings);
  TurnedRings t;
  double low = INFINITY, high = -INFINITY;
  for (const FillRing& ring : rings) {
    FillRing& out = t.rings.emplace_back();
    out.reserve(ring.size());
    for (const Point2 p : ring) {
      out.push_back(frame.into(p));
      low = std::min(low, out.back().y);
      high = std::max(high, out.back().y);
    }
  }
  t.bands.interval = static_cast<double>(settings.lineInterval);
  if (high > low) {
    t.bands.first = low;
    t.bands.count = static_cast<size_t>(std::ceil((high - low) / t.bands.interval));
  }
  return t;
}

// Calls f(k, u) for every line k an edge of the rings crosses, at u. An edge
// crosses the line at v when exactly one of its ends lies at or below v, so
// each closed ring crosses every line an even number of times.
template <typename F>
void forEachCrossing(const TurnedRings& t, F&& f) {
  const Bands& b = t.bands;
  if (b.count == 0) return;
  for (const FillRing& ring : t.rings) {
    for (size_t i = 0; i < ring.size(); ++i) {
      const Point2 p = ring[i];
      const Point2 q = ring[(i + 1) % ring.size()];
      if (p.y == q.y) continue;
      const double lo = std::min(p.y, q.y), hi = std::max(p.y, q.y);
      // A line more either side of the range the division gives: the test
      // below decides, the same for every edge, so no rounding of the range
      // can take a crossing from one edge at a corner and not the other.
      const double k0 = std::max(0.0, std::floor((lo - b.first) / b.interval - 0.5) - 1.0);
      const double k1 = std::min(static_cast<double>(b.count - 1),
                                 std::ceil((hi - b.first) / b.interval - 0.5) + 1.0);
      for (auto k = static_cast<size_t>(k0); static_cast<double>(k) <= k1; ++k) {
        const double v = b.line(k);
        if ((p.y <= v) == (q.y <= v)) continue;
        if (!f(k, p.x + (v - p.y) * (q.x - p.x) / (q.y - p.y))) return;
      }
    }
  }
}

struct Crossing {
  size_t k;
  double u;
};

// The burnt stretches of one line, u from low to high.
struct Stretch {
  size_t k;
  double u0, u1;
};

bool overlaps(const Stretch& a, const Stretch& b) {
  return a.u0 <= b.u1 && b.u0 <= a.u1;
}

// Runs are taken in the order of the nearest next start (either end of a run
// that may be burnt backwards), so that the rapids between them stay short;
// a fill of more runs than this keeps the order of its lines (the search
// costs the square of the count).
constexpr size_t kMostOrderedRuns = 2000;

double squaredDistance(Point2 a, Point2 b) {
  return (a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y);
}

void orderRuns(std::vector<FillRun>& runs, bool reversible) {
  if (runs.size() < 3 || runs.size() > kMostOrderedRuns) return;
  std::vector<FillRun> ordered;
  ordered.reserve(runs.size());
  std::vector<uint8_t> taken(runs.size(), 0);
  Point2 at = runs.front().front().from;
  for (size_t n = 0; n < runs.size(); ++n) {
    size_t best = 0;
    bool backwards = false;
    double nearest = INFINITY;
    for (size_t i = 0; i < runs.size(); ++i) {
      if (taken[i] != 0) continue;
      if (const double d = squaredDistance(at, runs[i].front().from); d < nearest) {
        nearest = d, best = i, backwards = false;
      }
      if (const double d = squaredDistance(at, runs[i].back().to); reversible && d < nearest) {
        nearest = d, best = i, backwards = true;
      }
    }
    FillRun& run = runs[best];
    if (backwards) {
      std::reverse(run.begin(), run.end());
      for (FillLine& l : run) std::swap(l.from, l.to);
    }
    taken[best] = 1;
    at = run.back().to;
    ordered.push_back(std::move(run));
  }
  runs = std::move(ordered);
}

}  // namespace

double fillTolerance(const JobSettings& settings) {
  return std::min(0.01, static_cast<double>(settings.lineInterval) * 0.1);
}

FillRing ringOf(const std::vector<PathCurve>& loop, double tolerance) {
  FillRing ring;
  for (const PathCurve& c : loop) {
    ring.push_back(c.start);
    if (!c.isArc()) continue;
    const double step = 2.0 * std::acos(std::max(-1.0, 1.0 - tolerance / c.radius));
    const double chords = std::ceil(std::fabs(c.sweep) / std::max(step, 1e-12));
    const auto n = static_cast<size_t>(std::clamp(chords, 1.0, double(kMostChordsPerArc)));
    for (size_t j = 1; j < n; ++j) {
      ring.push_back(pointAt(c, static_cast<double>(j) / static_cast<double>(n)));
    }
  }
  return ring;
}

size_t fillLineEnds(const std::vector<FillRing>& rings, const JobSettings& settings, size_t most) {
  size_t ends = 0;
  forEachCrossing(turned(rings, settings),
                  [&ends, most](size_t, double) { return ++ends <= most; });
  return ends;
}

std::vector<FillRun> hatchRegion(const std::vector<FillRing>& rings, const JobSettings& settings) {
  const TurnedRings t = turned(rings, settings);
  std::vector<Crossing> crossings;
  forEachCrossing(t, [&crossings](size_t k, double u) {
    crossings.push_back({k, u});
    return true;
  });
  std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) {
    return a.k != b.k ? a.k < b.k : a.u < b.u;
  });
  // Inside between the first and second crossing of a line, the third and
  // fourth, and so on: holes and islands by the count of rings around.
  std::vector<Stretch> stretches;
  for (size_t i = 0; i + 1 < crossings.size();) {
    if (crossings[i + 1].k != crossings[i].k) {
      ++i;  // an odd count on a line (never for closed rings): its last end has no pair
      continue;
    }
    if (crossings[i + 1].u - crossings[i].u > kShortestLine) {
      stretches.push_back({crossings[i].k, crossings[i].u, crossings[i + 1].u});
    }
    i += 2;
  }
  // The stretches of each line, in order; `next` is the first not yet burnt.
  struct Line {
    size_t k, next, end;
  };
  std::vector<Line> lines;
  for (size_t i = 0; i < stretches.size(); ++i) {
    if (lines.empty() || lines.back().k != stretches[i].k) lines.push_back({stretches[i].k, i, i});
    lines.back().end = i + 1;
  }
  // Runs: from the first stretch not yet burnt on to the next line's first
  // while the two overlap, so that the way between their ends is short. Each
  // line's stretches are taken in order, every stretch once.
  const FillFrame frame = frameOf(settings);
  std::vector<FillRun> runs;
  for (size_t l = 0; l < lines.size(); ++l) {
    while (lines[l].next < lines[l].end) {
      runs.emplace_back();
      size_t inRun = 0;
      bool forward = true;
      Stretch at = stretches[lines[l].next++];
      for (size_t m = l;;) {
        const double v = t.bands.line(at.k);
        const Point2 a = frame.outOf({forward ? at.u0 : at.u1, v});
        const Point2 b = frame.outOf({forward ? at.u1 : at.u0, v});
        if (!settings.bidirectional && inRun++ > 0) runs.emplace_back();
        runs.back().push_back({a, b});
        if (settings.bidirectional) forward = !forward;
        if (m + 1 >= lines.size() || lines[m + 1].k != lines[m].k + 1 ||
            lines[m + 1].next >= lines[m + 1].end || !overlaps(at, stretches[lines[m + 1].next])) {
          break;
        }
        ++m;
        at = stretches[lines[m].next++];
      }
    }
  }
  orderRuns(runs, settings.bidirectional);
  return runs;
}

void planFill(const std::vector<FillRun>& runs, const JobSettings& settings, double power,
              MoveSink& sink) {
  sink.beginShape();
  const auto overscan = static_cast<double>(settings.overscan);
  bool feedDue = true;
  double stated = -1.0;  // the power in effect; unknown after a rapid
  const auto line = [&](Point2 to, double beam) {
    ToolMove m{.kind = ToolMove::Kind::Line,
               .feed = feedDue ? ToolMove::Feed::Cut : ToolMove::Feed::Kept,
               .hasXY = true,
               .x = to.x,
               .y = to.y};
    if (beam != stated) m.hasPower = true, m.power = beam, stated = beam;
    feedDue = false;
    sink.move(m);
  };
  for (int32_t pass = 0; pass < settings.passes; ++pass) {
    for (const FillRun& run : runs) {
      for (size_t i = 0; i < run.size(); ++i) {
        const FillLine& l = run[i];
        const double dx = l.to.x - l.from.x, dy = l.to.y - l.from.y;
        const double length = std::sqrt(dx * dx + dy * dy);
        const double ox = overscan * dx / length, oy = overscan * dy / length;
        const Point2 entry{l.from.x - ox, l.from.y - oy};
        if (i == 0) {
          sink.move({.kind = ToolMove::Kind::Rapid, .hasXY = true, .x = entry.x, .y = entry.y});
          stated = -1.0;
        } else {
          line(entry, 0.0);
        }
        if (overscan > 0.0) line(l.from, 0.0);
        line(l.to, power);
        if (overscan > 0.0) line({l.to.x + ox, l.to.y + oy}, 0.0);
      }
    }
  }
}

}  // namespace brevanto
