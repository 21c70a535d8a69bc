#include "geometry/loop_lobes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace brevanto {
namespace {

// Pairs of curves whose boxes overlap, searched at most this many: beyond
// it the loop is left whole (as before lobes were looked for).
constexpr size_t kMostPairs = 4'000'000;
// Points nearer than this (mm) are one; lobes of less area (mm^2) are none.
constexpr double kSamePoint = 1e-9;

struct Bounds {
  double minX, minY, maxX, maxY;
};

Bounds boundsOf(const PathCurve& c) {
  if (c.isArc()) {
    return {c.centre.x - c.radius, c.centre.y - c.radius, c.centre.x + c.radius,
            c.centre.y + c.radius};
  }
  return {std::min(c.start.x, c.end.x), std::min(c.start.y, c.end.y), std::max(c.start.x, c.end.x),
          std::max(c.start.y, c.end.y)};
}

// The parameter of p on c, 0 at its start; -1 where p is off it or at its
// end (which is the next curve's start).
double placeOn(const PathCurve& c, Point2 p) {
  if (distance(p, c.start) <= kSamePoint) return 0.0;
  if (distance(p, c.end) <= kSamePoint) return -1.0;
  const double t = parameterOf(c, p).t;
  return t >= 0.0 && t < 1.0 ? t : -1.0;
}

// A place on the loop: the curve and the parameter along it.
struct Place {
  size_t curve;
  double t;
  size_t partner;  // the index (in the sorted places) of the crossing's other place
  bool operator<(const Place& o) const { return curve < o.curve || (curve == o.curve && t < o.t); }
};

// Each crossing as its two places, one on each strand.
std::vector<Place> crossingPlaces(const std::vector<PathCurve>& loop) {
  const size_t n = loop.size();
  std::vector<Bounds> boxes(n);
  for (size_t i = 0; i < n; ++i) boxes[i] = boundsOf(loop[i]);
  std::vector<size_t> byLeft(n);
  std::iota(byLeft.begin(), byLeft.end(), size_t{0});
  std::sort(byLeft.begin(), byLeft.end(),
            [&](size_t a, size_t b) { return boxes[a].minX < boxes[b].minX; });
  std::vector<Place> places;
  size_t pairs = 0;
  for (size_t a = 0; a < n; ++a) {
    const size_t i = byLeft[a];
    for (size_t b = a + 1; b < n && boxes[byLeft[b]].minX <= boxes[i].maxX; ++b) {
      if (++pairs > kMostPairs) return {};
      const size_t j = byLeft[b];
      if (boxes[j].minY > boxes[i].maxY || boxes[j].maxY < boxes[i].minY) continue;
      Point2 points[2];
      // A touch (one point of two circles or a circle and a line) is no
      // crossing; two lines cross at their one point.
      const int count = crossings(loop[i], loop[j], points);
      if (count == 1 && (loop[i].isArc() || loop[j].isArc())) continue;
      for (int k = 0; k < count; ++k) {
        const double ti = placeOn(loop[i], points[k]);
        const double tj = placeOn(loop[j], points[k]);
        // Where two curves start at one point is a joint, paired below.
        if (!(ti >= 0.0 && tj >= 0.0) || (ti == 0.0 && tj == 0.0)) continue;
        places.push_back({i, ti, places.size() + 1});
        places.push_back({j, tj, places.size() - 1});
      }
    }
  }
  // A loop that passes through one point twice where its curves meet (a
  // figure eight drawn from its waist): the two joints pair up.
  std::sort(byLeft.begin(), byLeft.end(),
            [&](size_t a, size_t b) { return loop[a].start.x < loop[b].start.x; });
  std::vector<bool> paired(n, false);
  for (size_t a = 0; a < n; ++a) {
    const size_t i = byLeft[a];
    for (size_t b = a + 1;
         !paired[i] && b < n && loop[byLeft[b]].start.x - loop[i].start.x <= kSamePoint; ++b) {
      const size_t j = byLeft[b];
      if (paired[j] || distance(loop[i].start, loop[j].start) > kSamePoint) continue;
      paired[i] = paired[j] = true;
      places.push_back({i, 0.0, places.size() + 1});
      places.push_back({j, 0.0, places.size() - 1});
    }
  }
  // Sort along the loop, keeping each place's partner.
  std::vector<size_t> order(places.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return places[a] < places[b]; });
  std::vector<size_t> rank(places.size());
  for (size_t r = 0; r < order.size(); ++r) rank[order[r]] = r;
  std::vector<Place> sorted(places.size());
  for (size_t k = 0; k < places.size(); ++k) {
    sorted[rank[k]] = places[k];
    sorted[rank[k]].partner = rank[places[k].partner];
  }
  return sorted;
}

// The loop from place `from` to the next place along it, curve by curve.
void appendStretch(const std::vector<PathCurve>& loop, const Place& from, const Place& to,
                   std::vector<PathCurve>& out) {
  const size_t n = loop.size();
  size_t c = from.curve;
  double t0 = from.t;
  for (size_t step = 0; step <= n; ++step) {
    const bool last = c == to.curve && (to.t > t0 || (step > 0 && to.t >= t0));
    const double t1 = last ? to.t : 1.0;
    if (t1 > t0) {
      PathCurve piece = subCurve(loop[c], t0, t1);
      if (!out.empty()) piece.start = out.back().end;
      out.push_back(piece);
    }
    if (last) return;
    c = (c + 1) % n;
    t0 = 0.0;
  }
}

}  // namespace

double loopArea(const std::vector<PathCurve>& loop) {
  double area = 0.0;
  for (const PathCurve& c : loop) area += signedAreaShare(c);
  return area;
}

std::vector<std::vector<PathCurve>> loopLobes(const std::vector<PathCurve>& loop) {
  const std::vector<Place> places = crossingPlaces(loop);
  if (places.empty()) return {loop};
  // From each place: along the loop to the next place, then over to the
  // other strand there; round until back where the lobe began.
  std::vector<std::vector<PathCurve>> lobes;
  std::vector<bool> used(places.size(), false);
  bool positive = false, negative = false;
  for (size_t first = 0; first < places.size(); ++first) {
    if (used[first]) continue;
    std::vector<PathCurve> lobe;
    size_t at = first;
    for (size_t guard = 0; guard < places.size() && !used[at]; ++guard) {
      used[at] = true;
      const size_t next = (at + 1) % places.size();
      appendStretch(loop, places[at], places[next], lobe);
      at = places[next].partner;
    }
    if (lobe.empty()) continue;
    lobe.back().end = lobe.front().start;
    const double area = loopArea(lobe);
    if (!(std::fabs(area) > kSamePoint)) continue;
    (area > 0.0 ? positive : negative) = true;
    lobes.push_back(std::move(lobe));
  }
  if (!(positive && negative)) return {loop};
  return lobes;
}

}  // namespace brevanto
