#include "geometry/offset.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

// Least sample spacing along the raw path: an intrusion missed between two
// samples is at most spacing^2 / (8 radius) deep, kept below this (mm) ...
constexpr double kMissedIntrusion = 2e-4;
// ... within these bounds (mm), and never fewer than kLeastSamples.
constexpr double kFinestSpacing = 0.005;
constexpr double kCoarsestSpacing = 0.25;
constexpr int32_t kLeastSamples = 4;
constexpr double kMostSamples = 2e6;
// Bisection steps for a boundary between kept and left-out path: the
// parameter to 2^-30 of a sample interval.
constexpr int kBisections = 30;
// Kept stretches whose ends lie this close (mm) continue one another.
constexpr double kJoinGap = 1e-4;
// Drawn elements shorter than this share of the tool radius may lose their
// whole toolpath without a report: a concave corner's trimming swallows
// short elements next to it.
constexpr double kReportedShare = 0.1;
// Curves shorter than this (mm) are left out of a piece.
constexpr double kNoLength = 1e-9;

// One curve of the raw offset path: the offset of a drawn element, or the
// arc about a vertex between two of them.
struct RawCurve {
  PathCurve curve;
  int32_t loopIndex = -1;  // the drawn curve it offsets, -1 for a vertex arc
  // Drawn curves from which every point of this one lies exactly the tool
  // radius away (the one it offsets; both neighbours of a convex vertex):
  // loop indices, -1 for none. They need no search.
  int32_t atRadiusA = -1;
  int32_t atRadiusB = -1;
  // The arc about a concave vertex: every point of it but its ends lies
  // nearer than the radius to one of the two curves (by as little as
  // radius * (1 - cos turn), which the rounding allowance can hide where the
  // turn is slight), so none of it is ever kept.
  bool loopBack = false;
};

// The offset of one drawn curve, `d` to its left. For an arc the radius
// changes by d in the direction of the centre; past the centre the offset
// runs on the far side (a circle of negative radius), which the clearance
// test then leaves out as a whole.
PathCurve offsetCurve(const PathCurve& c, double d) {
  if (!c.isArc()) {
    const Point2 t = directionAt(c, 0.0);
    const Point2 n{-t.y, t.x};
    PathCurve o = c;
    o.start = {c.start.x + d * n.x, c.start.y + d * n.y};
    o.end = {c.end.x + d * n.x, c.end.y + d * n.y};
    return o;
  }
  const double radius = c.radius - (c.sweep > 0.0 ? d : -d);
  PathCurve o = c;
  o.radius = std::fabs(radius);
  if (radius < 0.0) o.startAngle += kPi;
  if (!(o.radius > 0.0)) return lineCurve(c.centre, c.centre, c.source);
  const double a1 = o.startAngle + o.sweep;
  o.start = {c.centre.x + o.radius * std::cos(o.startAngle),
             c.centre.y + o.radius * std::sin(o.startAngle)};
  o.end = {c.centre.x + o.radius * std::cos(a1), c.centre.y + o.radius * std::sin(a1)};
  return o;
}

// The arc about the vertex v from the offset end `from` of the curve before
// it to the offset start `to` of the curve after it, turning as the path
// turns there. A reversal turns away from the offset side, round the tip.
PathCurve vertexArc(Point2 v, Point2 from, Point2 to, Point2 dirIn, Point2 dirOut, double d) {
  const double cross = dirIn.x * dirOut.y - dirIn.y * dirOut.x;
  const double dot = dirIn.x * dirOut.x + dirIn.y * dirOut.y;
  double turn = std::atan2(cross, dot);
  if (std::fabs(turn) > kPi - 1e-9) turn = d > 0.0 ? -kPi : kPi;
  return arcCurve(v, from, to, turn);
}

std::vector<RawCurve> rawOffset(const std::vector<PathCurve>& loop, double d) {
  std::vector<RawCurve> raw;
  const size_t n = loop.size();
  raw.reserve(2 * n);
  std::vector<PathCurve> offsets;
  offsets.reserve(n);
  for (const PathCurve& c : loop) offsets.push_back(offsetCurve(c, d));
  for (size_t i = 0; i < n; ++i) {
    const auto index = static_cast<int32_t>(i);
    // An arc offset past its centre is no longer at the radius from it.
    const bool atRadius = !loop[i].isArc() || loop[i].radius - (loop[i].sweep > 0.0 ? d : -d) > 0.0;
    raw.push_back({offsets[i], index, atRadius ? index : -1, -1});
    const size_t j = (i + 1) % n;
    const Point2 from = offsets[i].end;
    const Point2 to = offsets[j].start;
    if (distance(from, to) <= kNoLength) continue;
    PathCurve arc =
        vertexArc(loop[i].end, from, to, directionAt(loop[i], 1.0), directionAt(loop[j], 0.0), d);
    arc.source = loop[i].source;
    // Round a convex vertex the nearest point of both neighbours is the
    // vertex itself.
    const bool convex = arc.sweep * d < 0.0;
    raw.push_back({arc, -1, convex ? index : -1, convex ? static_cast<int32_t>(j) : -1, !convex});
  }
  return raw;
}

// A kept stretch of one raw curve.
struct Span {
  size_t raw;
  double t0;
  double t1;
};

double sampleSpacing(double radius) {
  return std::clamp(std::sqrt(8.0 * radius * kMissedIntrusion), kFinestSpacing, kCoarsestSpacing);
}

// The stretches of each raw curve where the tool clears every outline.
std::vector<Span> keptSpans(const std::vector<RawCurve>& raw, const ToolClearance& clearance,
                            int64_t firstCurve) {
  std::vector<Span> spans;
  // A loop of absurd size (kilometres) is sampled more coarsely rather than
  // for hours: at most kMostSamples samples at the least spacing. So is a
  // job of many loops (thousands of copies of one shape, kilometres of
  // outline): at most about kMostSamples samples in all.
  double total = 0.0;
  for (const RawCurve& r : raw) total += curveLength(r.curve);
  const double spacing = std::max({sampleSpacing(clearance.toolRadius()), total / kMostSamples,
                                   clearance.totalLength() / kMostSamples});
  // The piece nearest to the last point asked: the next point is found from
  // there.
  size_t hint = 0;
  for (size_t k = 0; k < raw.size(); ++k) {
    if (raw[k].loopBack) continue;
    const PathCurve& c = raw[k].curve;
    const int64_t skipA = raw[k].atRadiusA < 0 ? -1 : firstCurve + raw[k].atRadiusA;
    const int64_t skipB = raw[k].atRadiusB < 0 ? -1 : firstCurve + raw[k].atRadiusB;
    const auto room = [&](double t) { return clearance.room(pointAt(c, t), skipA, skipB, &hint); };
    // The boundary between the parameters a (state `aBad`) and b.
    const auto boundary = [&](double a, double b, bool aBad) {
      for (int i = 0; i < kBisections; ++i) {
        const double m = 0.5 * (a + b);
        ((room(m) < 0.0) == aBad ? a : b) = m;
      }
      // The kept side of the boundary.
      return aBad ? b : a;
    };
    const double length = curveLength(c);
    // Steps in the parameter: as far as the state cannot change (the room
    // ahead where the tool clears, the depth of the cut where it does not),
    // at least the spacing, at most a share that gives kLeastSamples
    // samples.
    const auto step = [&](double roomHere) {
      if (!(length > 0.0)) return 1.0;
      return std::min(std::max(std::fabs(roomHere), spacing) / length, 1.0 / kLeastSamples);
    };
    double t = 0.0;
    double roomHere = room(0.0);
    bool wasBad = roomHere < 0.0;
    double keptFrom = 0.0;
    while (t < 1.0) {
      const double next = std::min(1.0, t + step(roomHere));
      roomHere = room(next);
      const bool nowBad = roomHere < 0.0;
      if (nowBad != wasBad) {
        const double b = boundary(t, next, wasBad);
        if (wasBad) {
          keptFrom = b;
        } else {
          spans.push_back({k, keptFrom, b});
        }
      }
      wasBad = nowBad;
      t = next;
    }
    if (!wasBad) spans.push_back({k, keptFrom, 1.0});
  }
  return spans;
}

// Span b follows span a with nothing left out between them.
bool continuous(const Span& a, const Span& b, size_t rawCount) {
  return a.t1 == 1.0 && b.t0 == 0.0 && b.raw == (a.raw + 1) % rawCount;
}

// Where two kept stretches with something left out between them run past
// each other, both are trimmed to the point where they cross. That is the
// concave corner: each neighbour's offset is kept up to where the other's
// drawn curve comes nearer than the radius less the rounding allowance, a
// little past their crossing, and where the two meet at a grazing angle
// (consecutive arcs of a fitted curve) that little is far enough to leave
// them unjoined. The crossing lies on both kept stretches, so the tool clears
// everything there; it is taken only when it lies no further from either
// stretch's end than the ends lie apart, so no real stretch of toolpath is
// cut away.
void meetAtCrossings(std::vector<Span>& spans, const std::vector<RawCurve>& raw) {
  if (spans.size() < 2) return;
  for (size_t i = 0; i < spans.size(); ++i) {
    Span& a = spans[i];
    Span& b = spans[(i + 1) % spans.size()];
    if (continuous(a, b, raw.size()) || a.raw == b.raw) continue;
    const PathCurve& ca = raw[a.raw].curve;
    const PathCurve& cb = raw[b.raw].curve;
    const Point2 aEnd = pointAt(ca, a.t1);
    const Point2 bStart = pointAt(cb, b.t0);
    const double gap = distance(aEnd, bStart);
    if (gap <= kJoinGap) continue;
    Point2 points[2];
    const int count = crossings(ca, cb, points);
    const Span keptA = a;
    const Span keptB = b;
    double best = gap;
    for (int k = 0; k < count; ++k) {
      const double ta = parameterOf(ca, points[k]).t;
      const double tb = parameterOf(cb, points[k]).t;
      const double away = std::max(distance(points[k], aEnd), distance(points[k], bStart));
      if (ta >= keptA.t0 && ta <= keptA.t1 && tb >= keptB.t0 && tb <= keptB.t1 && away <= best) {
        best = away;
        a.t1 = ta;
        b.t0 = tb;
      }
    }
  }
}

class PieceBuilder {
 public:
  PieceBuilder(const std::vector<PathCurve>& loop, const std::vector<RawCurve>& raw, double radius)
      : loop_(loop), raw_(raw), radius_(radius) {}

  // Spans in loop order, the first following something left out.
  LoopOffset build(const std::vector<Span>& spans) {
    for (size_t i = 0; i < spans.size(); ++i) {
      const Span& s = spans[i];
      if (i > 0 && !continuous(spans[i - 1], s, raw_.size())) leftOut(spans[i - 1], s);
      append(s);
    }
    // Round the end of the loop back to the first span.
    const Span& last = spans.back();
    const Span& first = spans.front();
    if (!continuous(last, first, raw_.size())) {
      const bool joins = leftOut(last, first);
      if (joins && out_.pieces.size() > 1) {
        // The last piece runs on into the first.
        OffsetPiece& tail = out_.pieces.back();
        OffsetPiece& head = out_.pieces.front();
        head.curves.front().start = tail.curves.back().end;
        tail.curves.insert(tail.curves.end(), head.curves.begin(), head.curves.end());
        head = std::move(tail);
        out_.pieces.pop_back();
      }
    }
    // A crumb of toolpath between two left-out stretches is not worth a
    // plunge.
    std::erase_if(out_.pieces, [](const OffsetPiece& p) {
      double length = 0.0;
      for (const PathCurve& c : p.curves) length += curveLength(c);
      return length <= kJoinGap;
    });
    for (OffsetPiece& p : out_.pieces) {
      p.closed = distance(p.curves.back().end, p.curves.front().start) <= kJoinGap;
      if (p.closed) p.curves.back().end = p.curves.front().start;
    }
    return std::move(out_);
  }

 private:
  void append(const Span& s) {
    PathCurve c = subCurve(raw_[s.raw].curve, s.t0, s.t1);
    if (!joinNext_ || out_.pieces.empty()) {
      out_.pieces.emplace_back();
    } else {
      c.start = out_.pieces.back().curves.back().end;
    }
    joinNext_ = true;
    std::vector<PathCurve>& curves = out_.pieces.back().curves;
    if (curves.empty() || curveLength(c) > kNoLength) {
      curves.push_back(c);
    } else {
      curves.back().end = c.end;
    }
  }

  // Something was left out between spans a and b: the two stretches join
  // when their ends meet. Reports the place when they do not, or when a
  // drawn element lost its whole toolpath. Returns whether they join.
  bool leftOut(const Span& a, const Span& b) {
    const Point2 aEnd = pointAt(raw_[a.raw].curve, a.t1);
    const Point2 bStart = pointAt(raw_[b.raw].curve, b.t0);
    const bool joins = distance(aEnd, bStart) <= kJoinGap;
    // Drawn curves with no kept stretch at all.
    double lost = 0.0;
    Point2 at{0.5 * (aEnd.x + bStart.x), 0.5 * (aEnd.y + bStart.y)};
    double longest = 0.0;
    // Within one raw curve nothing lies between a and b, unless the gap runs
    // all the way round the loop.
    const bool sameCurve = a.raw == b.raw && a.t1 <= b.t0;
    for (size_t k = (a.raw + 1) % raw_.size(); !sameCurve && k != b.raw;
         k = (k + 1) % raw_.size()) {
      const int32_t drawn = raw_[k].loopIndex;
      if (drawn < 0) continue;
      const PathCurve& c = loop_[static_cast<size_t>(drawn)];
      const double length = curveLength(c);
      lost += length;
      if (length > longest) {
        longest = length;
        at = pointAt(c, 0.5);
      }
    }
    if (!joins || lost >= kReportedShare * radius_) out_.misfits.push_back({at, lost});
    joinNext_ = joins;
    return joins;
  }

  const std::vector<PathCurve>& loop_;
  const std::vector<RawCurve>& raw_;
  double radius_;
  bool joinNext_ = false;
  LoopOffset out_;
};

}  // namespace

LoopOffset offsetLoop(const std::vector<PathCurve>& loop, double leftDistance,
                      const ToolClearance& clearance, size_t loopNumber) {
  LoopOffset out;
  if (loop.empty()) return out;
  const std::vector<RawCurve> raw = rawOffset(loop, leftDistance);
  std::vector<Span> spans = keptSpans(raw, clearance, clearance.firstCurve(loopNumber));
  if (spans.empty()) {
    // The tool fits nowhere: the whole shape is left out.
    std::vector<Point2> ends;
    double length = 0.0;
    for (const PathCurve& c : loop) {
      ends.push_back(c.start);
      length += curveLength(c);
    }
    const Box b = boxAround(ends);
    out.misfits.push_back({{0.5 * (b.minX + b.maxX), 0.5 * (b.minY + b.maxY)}, length});
    return out;
  }
  // Start after something left out, if anything is, so that no stretch is
  // cut in two by the loop's own start.
  for (size_t i = 0; i < spans.size(); ++i) {
    const Span& prev = spans[(i + spans.size() - 1) % spans.size()];
    if (!continuous(prev, spans[i], raw.size()) || (spans.size() == 1 && spans[i].t0 > 0.0)) {
      std::rotate(spans.begin(), spans.begin() + static_cast<std::ptrdiff_t>(i), spans.end());
      break;
    }
  }
  meetAtCrossings(spans, raw);
  return PieceBuilder(loop, raw, clearance.toolRadius()).build(spans);
}

}  // namespace brevanto
