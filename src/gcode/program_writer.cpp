#include "gcode/program_writer.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <string_view>

#include "base/job_error.h"
#include "gcode/dialect.h"
#include "gcode/gcode_sink.h"
#include "geometry/point2.h"

namespace brevanto {
namespace {

// Two-decimal rounding of a start or end point: closure is judged by
// hundredths, not by distance.
float roundToHundredths(double value) {
  return static_cast<float>(std::floor(value * 100.0 + 0.5) / 100.0);
}

// Where the machine stands after a move to `p`: at the point the program
// names, rounded to its four decimals, not at the element's exact end.
Point2 written(double x, double y) {
  return {fixed4Value(x), fixed4Value(y)};
}

// Whether `p` lies on the circle of the arc `e`, within what rounding and
// the joining of two arcs into one circle leave.
bool onCircle(const PathElement& e, Point2 p) {
  constexpr double kOnCircle = 0.005;  // mm
  const double dx = p.x - e.centreX;
  const double dy = p.y - e.centreY;
  return std::fabs(std::sqrt(dx * dx + dy * dy) - e.radius) <= kOnCircle;
}

// The point of the arc's circle nearest `p` (its leftmost point for the
// centre itself).
Point2 nearestOnCircle(const PathElement& e, Point2 p) {
  const double dx = p.x - e.centreX;
  const double dy = p.y - e.centreY;
  const double d = std::sqrt(dx * dx + dy * dy);
  if (!(d > 0.0)) return {e.centreX - e.radius, e.centreY};
  return {e.centreX + e.radius * dx / d, e.centreY + e.radius * dy / d};
}

// A radius this much shorter than half the written chord is no rounding: an
// R-format controller refuses the block (LinuxCNC allows about 0.001 mm).
constexpr double kRadiusShortfall = 0.0005;

// How far the centre that the written numbers give may lie from the arc's own
// before an arc the long way round, with a chord shorter than its radius, is
// cut in pieces instead. The centre of such an arc is found across its
// chord; when the chord is short (an arc that closes a circle but for a
// hair), rounding its two ends to the fourth decimal can turn it by as much
// as a right angle, and the centre with it, a radius away. (Near a half
// circle the centre is sensitive to the rounding of R instead; that is
// bounded by the radius shortfall above, not by this.)
constexpr double kCentreDrift = 0.0005;  // mm

// The cutting moves of one pass over one shape. Only the first block of the
// pass and the first half of every full circle carry the feed; the depth is
// modal from the plunge. `at` is where the tool stands, as written; it
// follows every move.
//
// Every block is one the controller can run as the element means it:
//   - a full circle joined from arcs of a longer shape (its record starts at
//     its leftmost point) is cut from where the tool stands on it, round and
//     back there, where the rest of the shape goes on; where the shape goes
//     on from another point, on round the circle to where it passes nearest
//     that point, not across it;
//   - any other arc starts where the element starts: where the tool stands
//     elsewhere (a gap in the drawing), a straight move takes it there first,
//     so the arc is not bent to fit another chord;
//   - a move whose written ends coincide is never an arc, which would read
//     as nothing or as a whole circle: an arc that turns more than half way
//     round is cut as the whole circle it nearly is (two halves), a smaller
//     one as the straight move it is;
//   - an R word never falls short of half its chord;
//   - an arc the long way round whose written chord is too short to fix its
//     centre (kCentreDrift) is cut as three arcs about its own centre, each
//     with a chord as long as the radius.
void planCuts(const PathElement* shape, int32_t count, MoveSink& sink, Point2& at) {
  bool feedDue = true;
  const auto lineBlock = [&](double x, double y) {
    sink.move({.kind = ToolMove::Kind::Line,
               .feed = feedDue ? ToolMove::Feed::Cut : ToolMove::Feed::Kept,
               .hasXY = true,
               .x = x,
               .y = y});
    feedDue = false;
    at = written(x, y);
  };
  // One arc from where the tool stands; the sink states it as R or I J.
  // `centre` is the centre of the element's circle.
  const auto arcBlock = [&](const auto& self, ToolMove::Kind kind, double x, double y,
                            double radius, Point2 centre, bool withFeed) -> void {
    const Point2 to = written(x, y);
    if (to.x == at.x && to.y == at.y) {
      lineBlock(x, y);
      return;
    }
    const double dx = to.x - at.x;
    const double dy = to.y - at.y;
    const double halfChord = std::sqrt(dx * dx + dy * dy) * 0.5;
    if (fixed4Value(std::fabs(radius)) < halfChord - kRadiusShortfall) {
      radius = std::copysign(std::ceil(halfChord * 10000.0) / 10000.0, radius);
    }
    const bool clockwise = kind == ToolMove::Kind::ClockwiseArc;
    const Point2 c = centreOfRadiusArc(at, to, fixed4Value(radius), clockwise);
    if (radius < 0.0 && 2.0 * halfChord < -radius &&
        std::hypot(c.x - centre.x, c.y - centre.y) > kCentreDrift) {
      // Three arcs of about a third of the turn each, through points of the
      // element's own circle: their chords are as long as the radius.
      const double r = -radius;
      const double from = std::atan2(at.y - centre.y, at.x - centre.x);
      // The long way round in the sense of travel: more than half a turn,
      // and a little more than a whole one where rounding put the end a
      // hair past the start.
      constexpr double kTurn = 2.0 * 3.141592653589793;
      double turn = std::atan2(to.y - centre.y, to.x - centre.x) - from;
      if (clockwise) turn = -turn;
      turn = std::fmod(turn + 2.0 * kTurn, kTurn);
      if (turn < 0.5 * kTurn) turn += kTurn;
      if (clockwise) turn = -turn;
      for (int k = 1; k < 3; ++k) {
        const double a = from + turn * k / 3.0;
        self(self, kind, centre.x + r * std::cos(a), centre.y + r * std::sin(a), r, centre,
             withFeed);
        withFeed = false;
      }
      self(self, kind, x, y, r, centre, false);
      return;
    }
    sink.move({.kind = kind,
               .feed = withFeed || feedDue ? ToolMove::Feed::Cut : ToolMove::Feed::Kept,
               .hasXY = true,
               .x = x,
               .y = y,
               .radius = radius});
    feedDue = false;
    at = to;
  };
  // After a full circle, where the rest of the shape goes on from another
  // point (the circle was joined from arcs that ended there, and its record
  // starts at its leftmost point): on round the circle to where it passes
  // nearest that point, not across it.
  const auto goOnRound = [&](const PathElement& circle, int32_t m, ToolMove::Kind gWord) {
    if (m + 1 >= count) return;
    const Point2 next = written(shape[m + 1].startX, shape[m + 1].startY);
    if (next.x == at.x && next.y == at.y) return;
    const Point2 near = nearestOnCircle(circle, next);
    if (written(near.x, near.y).x == at.x && written(near.x, near.y).y == at.y) return;
    PathElement onward = circle;
    onward.startX = at.x;
    onward.startY = at.y;
    onward.endX = near.x;
    onward.endY = near.y;
    arcBlock(arcBlock, gWord, near.x, near.y,
             sweepsMoreThanHalf(onward) ? -circle.radius : circle.radius,
             Point2{circle.centreX, circle.centreY}, false);
  };
  constexpr double kHalfTurn = 3.141592653589793;
  for (int32_t m = 0; m < count; ++m) {
    const PathElement& e = shape[m];
    if (!(e.radius > 0.0)) {  // a line; a NaN radius is cut as a straight move too
      lineBlock(e.endX, e.endY);
      continue;
    }
    const ToolMove::Kind gWord =
        e.clockwise == 1 ? ToolMove::Kind::ClockwiseArc : ToolMove::Kind::CounterClockwiseArc;
    const Point2 centre{e.centreX, e.centreY};
    const Point2 from = written(e.startX, e.startY);
    const bool elsewhere = from.x != at.x || from.y != at.y;
    if (isFullCircle(e) && elsewhere && onCircle(e, at)) {
      // Joined from arcs that began where the tool stands: round from here,
      // through the opposite point, and back here, where the shape goes on.
      const Point2 here = at;
      arcBlock(arcBlock, gWord, 2.0 * e.centreX - here.x, 2.0 * e.centreY - here.y, e.radius,
               centre, true);
      arcBlock(arcBlock, gWord, here.x, here.y, e.radius, centre, false);
      goOnRound(e, m, gWord);
      continue;
    }
    if (elsewhere) lineBlock(e.startX, e.startY);
    const Point2 to = written(e.endX, e.endY);
    if (isFullCircle(e)) {
      // Over to the rightmost point and back: two halves of one circle.
      arcBlock(arcBlock, gWord, e.endX + 2.0 * e.radius, e.endY, e.radius, centre, true);
      arcBlock(arcBlock, gWord, e.endX, e.endY, e.radius, centre, false);
      goOnRound(e, m, gWord);
    } else if (to.x == at.x && to.y == at.y) {
      if (turnRadians(e) > kHalfTurn) {
        // Round through the point opposite the start, and back.
        arcBlock(arcBlock, gWord, 2.0 * e.centreX - e.startX, 2.0 * e.centreY - e.startY, e.radius,
                 centre, true);
        arcBlock(arcBlock, gWord, e.endX, e.endY, e.radius, centre, false);
      } else {
        lineBlock(e.endX, e.endY);
      }
    } else {
      // A negative R: the long way round.
      arcBlock(arcBlock, gWord, e.endX, e.endY, sweepsMoreThanHalf(e) ? -e.radius : e.radius,
               centre, false);
    }
  }
}

// Takes down the cutting moves of one pass as the path a controller runs:
// the ends as written, each arc about the centre its written numbers give.
class PassRecorder : public MoveSink {
 public:
  explicit PassRecorder(Point2 start) : at_(start) {}
  void beginShape() override {}
  void move(const ToolMove& m) override {
    const Point2 to = written(m.x, m.y);
    if (m.isArc()) {
      const bool clockwise = m.kind == ToolMove::Kind::ClockwiseArc;
      path.addArc(at_, to, centreOfRadiusArc(at_, to, fixed4Value(m.radius), clockwise), clockwise);
    } else {
      path.addLine(at_, to);
    }
    at_ = to;
  }
  ContourPath path;

 private:
  Point2 at_;
};

// Passes a pass's moves on, the first burning one with the beam's power: a
// pass that starts after a rapid must switch the beam on again.
class PowerOnFirstCut final : public MoveSink {
 public:
  PowerOnFirstCut(MoveSink& sink, double power) : sink_(sink), power_(power) {}
  void beginShape() override { sink_.beginShape(); }
  void move(const ToolMove& move) override {
    ToolMove m = move;
    if (due_ && m.kind != ToolMove::Kind::Rapid) {
      m.hasPower = true;
      m.power = power_;
      due_ = false;
    }
    sink_.move(m);
  }

 private:
  MoveSink& sink_;
  double power_;
  bool due_ = true;
};

// A laser's cut: no Z at all, the beam along the line `Passes` times. A
// closed shape is burnt round and round without a break; an open one is
// brought back to its start by a rapid (the beam off) before each pass.
void planLaserCut(const PathElement* shape, int32_t count, const JobSettings& s, MoveSink& sink) {
  sink.beginShape();
  const PathElement& first = shape[0];
  const bool closed = roundToHundredths(shape[count - 1].endX) == roundToHundredths(first.startX) &&
                      roundToHundredths(shape[count - 1].endY) == roundToHundredths(first.startY);
  const ToolMove toStart{
      .kind = ToolMove::Kind::Rapid, .hasXY = true, .x = first.startX, .y = first.startY};
  const Point2 start = written(first.startX, first.startY);
  Point2 at = start;
  sink.move(toStart);
  for (int32_t pass = 1; pass <= s.passes; ++pass) {
    if (pass > 1 && closed) {
      planCuts(shape, count, sink, at);  // the beam stays on at its power
      continue;
    }
    if (pass > 1) {
      sink.move(toStart);
      at = start;
    }
    PowerOnFirstCut burning(sink, laserPower(s));
    planCuts(shape, count, burning, at);
  }
}

}  // namespace

double laserPower(const JobSettings& s) {
  return static_cast<double>(s.power) * static_cast<double>(s.laserMax) / 100.0;
}

void planShape(const PathElement* shape, int32_t count, const JobSettings& s, MoveSink& sink,
               const ShapeEntry& entry, EntryTally* tally) {
  if (s.laser()) {
    planLaserCut(shape, count, s, sink);
    return;
  }
  sink.beginShape();

  const PathElement& first = shape[0];
  const PathElement& last = shape[count - 1];
  const float startX = roundToHundredths(first.startX);
  const float startY = roundToHundredths(first.startY);
  const bool closes =
      roundToHundredths(last.endX) == startX && roundToHundredths(last.endY) == startY;
  if (wantsEntries(s, entry, closes)) {
    // Ramps, tabs and leads are placed on the path one pass cuts.
    PassRecorder pass(written(first.startX, first.startY));
    Point2 at = written(first.startX, first.startY);
    planCuts(shape, count, pass, at);
    if (!pass.path.empty()) {
      EntryTally unused;
      planEntries(pass.path, closes, s, entry, fixed4Value, sink, tally ? *tally : unused);
      return;
    }
  }
  sink.move({.kind = ToolMove::Kind::Rapid,
             .hasXY = true,
             .hasZ = true,
             .x = first.startX,
             .y = first.startY,
             .z = static_cast<double>(s.safeZ)});
  const Point2 start = written(first.startX, first.startY);
  Point2 at = start;

  bool closed = false;
  // loadSettings makes sure this ends within kMostPasses passes.
  for (int32_t pass = 1;; ++pass) {
    float depth = static_cast<float>(pass) * s.passDepth;
    if (s.finalDepth >= depth) depth = s.finalDepth;
    if (s.passDepth == 0.0F) depth = s.finalDepth;  // no pass depth: one pass, all the way

    if (!closed && pass > 1) {
      sink.move(
          {.kind = ToolMove::Kind::Rapid, .hasXY = true, .x = first.startX, .y = first.startY});
      at = start;
    }
    sink.move({.kind = ToolMove::Kind::Line,
               .feed = ToolMove::Feed::Plunge,
               .hasZ = true,
               .z = static_cast<double>(depth)});
    planCuts(shape, count, sink, at);

    if (roundToHundredths(last.endX) == startX && roundToHundredths(last.endY) == startY) {
      closed = true;
    }
    if (!closed || depth == s.finalDepth) {
      sink.move({.kind = ToolMove::Kind::Rapid, .hasZ = true, .z = static_cast<double>(s.safeZ)});
    }
    if (!(depth > s.finalDepth)) break;
  }
}

std::vector<int32_t> shapeCounts(const PathElement* elements, int32_t count) {
  std::vector<int32_t> counts;
  for (int32_t i = 0; i < count; ++i) {
    if (i == 0 || elements[i].shapeKey != elements[i - 1].shapeKey) counts.push_back(0);
    ++counts.back();
  }
  return counts;
}

BlockStyle blockStyle(const JobSettings& settings) {
  const DialectRules& rules = dialectRules(settings.dialect);
  return {.numbered = rules.numbered, .digitLimit = rules.digitLimit};
}

std::string toolChangeLine(const JobSettings& settings) {
  return toolChangeText(dialectRules(settings.dialect), settings.toolNumber, settings.toolDiameter);
}

int32_t writeProgram(const PathElement* elements, int32_t count, const JobSettings& settings,
                     GcodeWriter& writer, ProgramObserver* observer,
                     std::span<const ShapeEntry> entries, EntryTally* tally) {
  if (elements == nullptr || count < 0) count = 0;
  const std::vector<int32_t> counts = shapeCounts(elements, count);
  GcodeSink sink(settings, writer, observer);
  sink.writeHeader();
  const PathElement* shape = elements;
  const ShapeEntry unknown;
  for (size_t i = 0; i < counts.size(); ++i) {
    planShape(shape, counts[i], settings, sink, i < entries.size() ? entries[i] : unknown, tally);
    shape += counts[i];
  }
  sink.writeFooter();
  return 0;
}

}  // namespace brevanto
