#include "toolpath/pocket_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "toolpath/pocket_zigzag.h"

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDegree = kPi / 180.0;
// A descent starts this far above the floor the previous pass left (the
// stock's top for the first), where the tool meets no material yet.
constexpr double kAboveFloor = 0.2;  // mm
// Descents are planned this much gentler than allowed, so that rounding each
// move's numbers to the program's digits never makes one steeper.
constexpr double kSlopeMargin = 0.97;
// A descent goes round at most this many times; one too short for the angle
// in as many descends more steeply.
constexpr double kMostLaps = 100.0;
// The helix's radius as a share of the tool's, and the room it keeps.
constexpr double kHelixShare = 0.5;
constexpr double kHelixRoom = 0.001;  // mm
// A straight move among the rings may come this near (mm) to leaving the
// area the tool's centre may take: the rings themselves lie on its edge.
constexpr double kLinkSlack = 0.0005;
constexpr double kLeastLinkStep = 0.00025;  // mm
constexpr int kMostLinkSteps = 200000;
// Arcs are written in parts of at most a quarter turn, which every
// controller places exactly from R or from I J.
constexpr double kMostArcTurn = kPi / 2.0;

// The parameter of the point of c nearest p.
double nearestOn(const PathCurve& c, Point2 p) {
  if (!c.isArc()) {
    const double dx = c.end.x - c.start.x, dy = c.end.y - c.start.y;
    const double ll = dx * dx + dy * dy;
    return ll > 0.0 ? std::clamp(((p.x - c.start.x) * dx + (p.y - c.start.y) * dy) / ll, 0.0, 1.0)
                    : 0.0;
  }
  const double a = std::atan2(p.y - c.centre.y, p.x - c.centre.x);
  double along = std::fmod((c.sweep > 0.0 ? a - c.startAngle : c.startAngle - a), 2.0 * kPi);
  if (along < 0.0) along += 2.0 * kPi;
  const double t = along / std::fabs(c.sweep);
  if (t <= 1.0) return t;
  return distance(p, c.start) <= distance(p, c.end) ? 0.0 : 1.0;
}

void addCurve(ContourPath& path, const PathCurve& c) {
  if (!c.isArc()) {
    path.addLine(c.start, c.end);
    return;
  }
  const int parts = std::max(1, static_cast<int>(std::ceil(std::fabs(c.sweep) / kMostArcTurn)));
  Point2 from = c.start;
  for (int k = 1; k <= parts; ++k) {
    const Point2 to = k == parts ? c.end : pointAt(c, double(k) / parts);
    path.addArc(from, to, c.centre, c.sweep < 0.0);
    from = to;
  }
}

}  // namespace

// The ring as a path from its point nearest `near` (an open one from its
// nearer end), run the other way when `reverse`.
ContourPath ringPath(const PocketRing& ring, Point2 near, bool reverse) {
  std::vector<PathCurve> curves;
  if (ring.closed) {
    size_t best = 0;
    double bestDistance = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < ring.curves.size(); ++i) {
      const double d = distanceTo(ring.curves[i], near);
      if (d < bestDistance) {
        bestDistance = d;
        best = i;
      }
    }
    const PathCurve& c = ring.curves[best];
    const double t = nearestOn(c, near);
    curves.push_back(subCurve(c, t, 1.0));
    for (size_t k = 1; k < ring.curves.size(); ++k) {
      curves.push_back(ring.curves[(best + k) % ring.curves.size()]);
    }
    curves.push_back(subCurve(c, 0.0, t));
    curves.back().end = curves.front().start;
    if (reverse) curves = reversedLoop(curves);
  } else {
    curves = ring.curves;
    if (distance(near, curves.back().end) < distance(near, curves.front().start)) {
      curves = reversedLoop(curves);
    }
  }
  ContourPath path;
  for (const PathCurve& c : curves) addCurve(path, c);
  return path;
}

// Whether the tool's centre may go straight from a to b.
bool linkClear(Point2 a, Point2 b, const ToolClearance& reach) {
  const double length = distance(a, b);
  double s = 0.0;
  for (int step = 0; step < kMostLinkSteps; ++step) {
    const double t = std::min(s / std::max(length, 1e-300), 1.0);
    const double room = reach.room({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
    if (room < -kLinkSlack) return false;
    if (t >= 1.0) return true;
    s += std::max(room + kLinkSlack, kLeastLinkStep);
  }
  return false;
}

namespace {

ContourPath circlePath(Point2 centre, Point2 from) {
  ContourPath path;
  const double r = distance(centre, from);
  const double a0 = std::atan2(from.y - centre.y, from.x - centre.x);
  Point2 at = from;
  for (int k = 1; k <= 4; ++k) {
    const double a = a0 + k * kPi / 2.0;
    const Point2 to =
        k == 4 ? from : Point2{centre.x + r * std::cos(a), centre.y + r * std::sin(a)};
    path.addArc(at, to, centre, false);
    at = to;
  }
  return path;
}

class Sequence {
 public:
  Sequence(const PocketPass& pass, const JobSettings& s) : pass_(pass), s_(s) {
    const double r = static_cast<double>(s.toolDiameter) * 0.5;
    helixRadius_ = s.rampAngle < 90.0F ? kHelixShare * r : 0.0;
  }

  std::vector<Visit> build() {
    const PocketRings& rings = *pass_.rings;
    // Every piece of the area after the pieces inside it: the deepest
    // first, each time the one nearest the tool.
    struct Frame {
      size_t component;
      std::vector<size_t> waiting;
    };
    std::vector<Frame> stack{{std::numeric_limits<size_t>::max(), rings.roots}};
    while (!stack.empty()) {
      Frame& top = stack.back();
      if (!top.waiting.empty()) {
        const auto next = std::min_element(top.waiting.begin(), top.waiting.end(),
                                           [&](size_t a, size_t b) { return away(a) < away(b); });
        const size_t c = *next;
        top.waiting.erase(next);
        stack.push_back({c, rings.components[c].children});
        continue;
      }
      if (top.component < rings.components.size()) visitComponent(rings.components[top.component]);
      stack.pop_back();
    }
    return std::move(visits_);
  }

 private:
  // How far the tool is from a piece of the area (0 before the first ring).
  double away(size_t component) const {
    if (!placed_) return 0.0;
    const PocketComponent& c = pass_.rings->components[component];
    if (c.rings.empty()) return 0.0;
    double best = std::numeric_limits<double>::infinity();
    for (const PathCurve& curve : pass_.rings->rings[c.rings.front()].curves) {
      best = std::min(best, distanceTo(curve, at_));
    }
    return best;
  }

  void visitComponent(const PocketComponent& c) {
    // The rings round islands, nearest first, then the one round the
    // outside.
    std::vector<size_t> left(c.rings.begin(), c.rings.end());
    const bool hasOuter = !left.empty() && pass_.rings->rings[left.front()].outer;
    const size_t outer = hasOuter ? left.front() : 0;
    if (hasOuter) left.erase(left.begin());
    while (!left.empty()) {
      const auto next = std::min_element(left.begin(), left.end(), [&](size_t a, size_t b) {
        return ringDistance(a) < ringDistance(b);
      });
      visitRing(*next);
      left.erase(next);
    }
    if (hasOuter) visitRing(outer);
  }

  double ringDistance(size_t ring) const {
    if (!placed_) return 0.0;
    double best = std::numeric_limits<double>::infinity();
    for (const PathCurve& c : pass_.rings->rings[ring].curves) {
      best = std::min(best, distanceTo(c, at_));
    }
    return best;
  }

  void visitRing(size_t index) {
    const PocketRing& ring = pass_.rings->rings[index];
    if (ring.curves.empty()) return;
    const bool reverse = s_.direction == CutDirection::Conventional;
    Visit v;
    v.closed = ring.closed;
    bool linked = false;
    if (placed_) {
      v.path = ringPath(ring, at_, reverse);
      linked = !v.path.empty() && linkClear(at_, v.path.start(), *pass_.reach);
    }
    if (!linked) {
      v.entry = true;
      Point2 centre{};
      if (helixRadius_ > 0.0 && ring.closed && helixCentre(ring, centre)) {
        v.path = ringPath(ring, centre, reverse);
        const Point2 q = v.path.start();
        const double d = distance(centre, q);
        const Point2 h = d > 0.0 ? Point2{centre.x + (q.x - centre.x) * helixRadius_ / d,
                                          centre.y + (q.y - centre.y) * helixRadius_ / d}
                                 : Point2{centre.x + helixRadius_, centre.y};
        if (linkClear(h, q, *pass_.reach)) {
          v.helix = true;
          v.helixPath = circlePath(centre, h);
        }
      }
      if (!v.helix && !placed_) v.path = ringPath(ring, ring.curves.front().start, reverse);
    }
    if (v.path.empty()) return;
    at_ = v.closed ? v.path.start() : v.path.pointAt(v.path.length());
    placed_ = true;
    visits_.push_back(std::move(v));
  }

  // Where a helix of the entry's radius fits near the ring: the best of its
  // middle and the middles of its curves.
  bool helixCentre(const PocketRing& ring, Point2& centre) const {
    Point2 mean{};
    double total = 0.0;
    std::vector<Point2> candidates;
    for (const PathCurve& c : ring.curves) {
      const Point2 m = pointAt(c, 0.5);
      const double l = curveLength(c);
      mean.x += m.x * l;
      mean.y += m.y * l;
      total += l;
      candidates.push_back(m);
    }
    if (total > 0.0) candidates.push_back({mean.x / total, mean.y / total});
    double best = -std::numeric_limits<double>::infinity();
    for (const Point2 p : candidates) {
      const double room = pass_.reach->room(p);
      if (room > best) {
        best = room;
        centre = p;
      }
    }
    return best >= helixRadius_ + kHelixRoom;
  }

  const PocketPass& pass_;
  const JobSettings& s_;
  double helixRadius_ = 0.0;
  bool placed_ = false;
  Point2 at_{};
  std::vector<Visit> visits_;
};

class PocketWriter {
 public:
  PocketWriter(const JobSettings& s, PassWriter& w, EntryTally& tally, double steepest)
      : s_(s), w_(w), tally_(tally), steepest_(steepest) {}

  void pass(const std::vector<Visit>& visits, double d, double zFloor) {
    for (const Visit& v : visits) {
      if (v.entry) {
        enter(v, d, zFloor);
      } else {
        line(at_, v.path.start(), d);
      }
      w_.stretch(v.path, 0.0, v.path.length(), d, d);
      at_ = v.closed ? v.path.start() : v.path.pointAt(v.path.length());
    }
    w_.rapidZ(s_.safeZ);
    lifted_ = true;
  }

 private:
  void line(Point2 a, Point2 b, double z) {
    ContourPath link;
    link.addLine(a, b);
    if (!link.empty()) w_.stretch(link, 0.0, link.length(), z, z);
  }

  void enter(const Visit& v, double d, double zFloor) {
    const ContourPath& first = v.helix ? v.helixPath : v.path;
    if (!started_) {
      w_.rapid(first.start(), s_.safeZ);
      started_ = true;
    } else {
      if (!lifted_) w_.rapidZ(s_.safeZ);
      w_.rapidTo(first.start());
    }
    lifted_ = false;
    if (!(s_.rampAngle < 90.0F)) {
      w_.plunge(d);
      return;
    }
    const double top = std::min(zFloor + kAboveFloor, static_cast<double>(s_.safeZ));
    // Above the stock at the plunge feed, into the floor the previous pass
    // left at a rapid.
    if (top >= 0.0) {
      w_.plunge(top);
    } else {
      w_.rapidZ(top);
    }
    descend(first, v.closed || v.helix, std::max(top, d), d);
    ++tally_.ramps;
    if (v.helix) {
      w_.stretch(v.helixPath, 0.0, v.helixPath.length(), d, d);
      line(v.helixPath.start(), v.path.start(), d);
    }
  }

  // Down from `top` to d along the path: whole laps round a closed one, so
  // the tool ends where it started; to and fro along an open one.
  void descend(const ContourPath& path, bool closed, double top, double d) {
    const double length = path.length();
    const double tanPlan = std::tan(s_.rampAngle * kDegree) * kSlopeMargin;
    const double legLength = closed ? length : 2.0 * length;
    const double slope = std::max(tanPlan, (top - d) / (kMostLaps * legLength));
    const int laps = std::max(1, static_cast<int>(std::ceil((top - d) / (slope * legLength))));
    w_.allowSlope(std::max(slope / kSlopeMargin, (top - d) / (laps * legLength) / kSlopeMargin));
    for (int k = 0; k < laps; ++k) {
      const double z0 = top + (d - top) * k / laps;
      const double z1 = k + 1 == laps ? d : top + (d - top) * (k + 1) / laps;
      if (closed) {
        w_.stretch(path, 0.0, length, z0, z1);
      } else {
        const double mid = 0.5 * (z0 + z1);
        w_.stretch(path, 0.0, length, z0, mid);
        w_.stretch(path, length, 0.0, mid, z1);
      }
    }
    w_.allowSlope(steepest_);
  }

  const JobSettings& s_;
  PassWriter& w_;
  EntryTally& tally_;
  double steepest_;
  bool started_ = false;
  bool lifted_ = true;
  Point2 at_{};
};

}  // namespace

void planPocket(const PocketPass& rough, const PocketPass& last, const JobSettings& s,
                Rounding written, MoveSink& sink, EntryTally& tally) {
  const auto visits = [&s](const PocketPass& pass) {
    return s.pocketStrategy == PocketStrategy::Zigzag ? zigzagVisits(pass, s)
                                                      : Sequence(pass, s).build();
  };
  const std::vector<Visit> roughVisits = visits(rough);
  const std::vector<Visit> lastVisits =
      last.rings == rough.rings ? std::vector<Visit>{} : visits(last);
  const double steepest = s.rampAngle < 90.0F ? std::tan(s.rampAngle * kDegree)
                                              : std::numeric_limits<double>::infinity();
  PassWriter w(sink, written, steepest);
  PocketWriter writer(s, w, tally, steepest);
  const std::vector<float> depths = passDepths(s);
  double zFloor = 0.0;
  for (size_t i = 0; i < depths.size(); ++i) {
    const bool final = i + 1 == depths.size() && last.rings != rough.rings;
    writer.pass(final ? lastVisits : roughVisits, depths[i], zFloor);
    zFloor = depths[i];
  }
}

}  // namespace brevanto
