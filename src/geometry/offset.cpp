#include "geometry/offset.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevanto {
namespace {

constexpr double kPi = 3.141592653589793;

// A tool position may come this much nearer than the radius to an outline
// (mm): the rounding of the arithmetic, far below the program's 0.0001.
constexpr double kRoundingAllowance = 1e-6;
// Sample spacing along the raw path: an intrusion missed between two samples
// is at most spacing^2 / (8 radius) deep, kept below this (mm) ...
constexpr double kMissedIntrusion = 2e-4;
// ... within these bounds (mm), and never fewer than kLeastSamples.
constexpr double kFinestSpacing = 0.005;
constexpr double kCoarsestSpacing = 0.25;
constexpr int32_t kLeastSamples = 4;
// Bisection steps for a boundary between kept and left-out path: the
// parameter to 2^-40 of a sample interval.
constexpr int kBisections = 40;
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
    raw.push_back({offsets[i], static_cast<int32_t>(i)});
    const size_t j = (i + 1) % n;
    const Point2 from = offsets[i].end;
    const Point2 to = offsets[j].start;
    if (distance(from, to) <= kNoLength) continue;
    PathCurve arc =
        vertexArc(loop[i].end, from, to, directionAt(loop[i], 1.0), directionAt(loop[j], 0.0), d);
    arc.source = loop[i].source;
    raw.push_back({arc, -1});
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
std::vector<Span> keptSpans(const std::vector<RawCurve>& raw, const ToolClearance& clearance) {
  std::vector<Span> spans;
  const double spacing = sampleSpacing(clearance.toolRadius());
  for (size_t k = 0; k < raw.size(); ++k) {
    const PathCurve& c = raw[k].curve;
    const double samples =
        std::clamp(std::ceil(curveLength(c) / spacing), static_cast<double>(kLeastSamples), 1.0e8);
    const auto n = static_cast<int64_t>(samples);
    const auto bad = [&](double t) { return clearance.cutsInto(pointAt(c, t)); };
    // The boundary between the parameters a (state `aBad`) and b.
    const auto boundary = [&](double a, double b, bool aBad) {
      for (int i = 0; i < kBisections; ++i) {
        const double m = 0.5 * (a + b);
        (bad(m) == aBad ? a : b) = m;
      }
      // The kept side of the boundary.
      return aBad ? b : a;
    };
    bool prevBad = bad(0.0);
    double prevT = 0.0;
    double keptFrom = 0.0;
    for (int64_t i = 1; i <= n; ++i) {
      const double t = static_cast<double>(i) / static_cast<double>(n);
      const bool nowBad = bad(t);
      if (nowBad != prevBad) {
        const double b = boundary(prevT, t, prevBad);
        if (prevBad) {
          keptFrom = b;
        } else {
          spans.push_back({k, keptFrom, b});
        }
      }
      prevBad = nowBad;
      prevT = t;
    }
    if (!prevBad) spans.push_back({k, keptFrom, 1.0});
  }
  return spans;
}

// Span b follows span a with nothing left out between them.
bool continuous(const Span& a, const Span& b, size_t rawCount) {
  return a.t1 == 1.0 && b.t0 == 0.0 && b.raw == (a.raw + 1) % rawCount;
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

ToolClearance::ToolClearance(const std::vector<const std::vector<PathCurve>*>& loops,
                             double toolRadius)
    : radius_(toolRadius),
      limit_(toolRadius - kRoundingAllowance),
      grid_(Box{}, 1.0, std::span<const CellGrid::ItemBox>{}) {
  for (const auto* loop : loops) curves_.insert(curves_.end(), loop->begin(), loop->end());
  std::vector<Point2> ends;
  ends.reserve(2 * curves_.size());
  for (const PathCurve& c : curves_) {
    ends.push_back(c.start);
    ends.push_back(c.end);
  }
  Box bounds = boxAround(ends);
  bounds = {bounds.minX - radius_, bounds.minY - radius_, bounds.maxX + radius_,
            bounds.maxY + radius_};
  // Cells no smaller than the radius, so that a curve's grown boxes touch
  // few of them.
  const double cell =
      std::max(CellGrid::cellSizeFor(bounds, static_cast<int64_t>(curves_.size())), radius_);
  std::vector<CellGrid::ItemBox> boxes;
  for (size_t k = 0; k < curves_.size(); ++k) {
    appendCurveBoxes(curves_[k], cell, radius_, static_cast<int32_t>(k), boxes);
  }
  grid_ = CellGrid(bounds, cell, boxes);
}

bool ToolClearance::cutsInto(Point2 p) const {
  for (const int32_t k : grid_.itemsAt(p)) {
    if (distanceTo(curves_[static_cast<size_t>(k)], p) < limit_) return true;
  }
  return false;
}

LoopOffset offsetLoop(const std::vector<PathCurve>& loop, double leftDistance,
                      const ToolClearance& clearance) {
  LoopOffset out;
  if (loop.empty()) return out;
  const std::vector<RawCurve> raw = rawOffset(loop, leftDistance);
  std::vector<Span> spans = keptSpans(raw, clearance);
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
  return PieceBuilder(loop, raw, clearance.toolRadius()).build(spans);
}

}  // namespace brevanto
