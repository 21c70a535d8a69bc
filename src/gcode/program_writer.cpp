#include "gcode/program_writer.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <string_view>

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

// The centre a controller finds for an R-format arc from `from` to `to` (both
// as written) with the radius `radius` as written (negative: the long way
// round). Centre-format dialects write this very centre, so that every
// dialect cuts the same path as the R word would.
//
// The centre lies on the perpendicular bisector of the chord, at the distance
// h = sqrt(r^2 - (c/2)^2) from the chord's middle M (c the chord length; a
// radius too short to reach leaves h = 0, the half circle). Travelling from
// `from` to `to` counter-clockwise the short way, the centre is on the left
// of the chord, along the normal n = (-dy, dx) / c; clockwise, on the right;
// the long way round swaps the sides: centre = M + side * h * n.
Point2 centreOfRadiusArc(Point2 from, Point2 to, double radius, bool clockwise) {
  const double dx = to.x - from.x;
  const double dy = to.y - from.y;
  const double chord = std::sqrt(dx * dx + dy * dy);
  const Point2 middle{(from.x + to.x) * 0.5, (from.y + to.y) * 0.5};
  if (chord == 0.0) return middle;
  const double r = std::fabs(radius);
  const double h = std::sqrt(std::max(0.0, r * r - chord * chord * 0.25));
  const double side = (clockwise ? -1.0 : 1.0) * (radius < 0.0 ? -1.0 : 1.0);
  return {middle.x - side * h * dy / chord, middle.y + side * h * dx / chord};
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
void writeCuts(const PathElement* shape, int32_t count, const CncSettings& settings,
               GcodeWriter& writer, Point2& at) {
  const std::string feed = formatFixed(settings.cutFeed, 4);
  const bool centreFormat = settings.dialect != Dialect::Classic;
  bool feedDue = true;
  const auto lineBlock = [&](double x, double y) {
    writer.beginBlock();
    writer.addBlockText("G01");
    writer.addBlockNumber('X', x);
    writer.addBlockNumber('Y', y);
    if (feedDue) writer.addBlockWord('F', feed);
    writer.endBlock();
    feedDue = false;
    at = written(x, y);
  };
  // One arc block in the dialect's words: R, or the centre relative to the
  // start (I J). `centre` is the centre of the element's circle.
  const auto arcBlock = [&](const auto& self, std::string_view gWord, double x, double y,
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
    const bool clockwise = gWord == std::string_view("G02");
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
        self(self, gWord, centre.x + r * std::cos(a), centre.y + r * std::sin(a), r, centre,
             withFeed);
        withFeed = false;
      }
      self(self, gWord, x, y, r, centre, false);
      return;
    }
    writer.beginBlock();
    writer.addBlockText(gWord);
    writer.addBlockNumber('X', x);
    writer.addBlockNumber('Y', y);
    if (centreFormat) {
      writer.addBlockNumber('I', c.x - at.x);
      writer.addBlockNumber('J', c.y - at.y);
    } else {
      writer.addBlockNumber('R', radius);
    }
    if (withFeed || feedDue) writer.addBlockWord('F', feed);
    writer.endBlock();
    feedDue = false;
    at = to;
  };
  // After a full circle, where the rest of the shape goes on from another
  // point (the circle was joined from arcs that ended there, and its record
  // starts at its leftmost point): on round the circle to where it passes
  // nearest that point, not across it.
  const auto goOnRound = [&](const PathElement& circle, int32_t m, std::string_view gWord) {
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
    const std::string_view gWord = e.clockwise == 1 ? "G02" : "G03";
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

}  // namespace

void writeShape(const PathElement* shape, int32_t count, const CncSettings& s,
                GcodeWriter& writer) {
  writer.writeBlock({.comment = "NEXT SHAPE"});

  const PathElement& first = shape[0];
  const PathElement& last = shape[count - 1];
  const float startX = roundToHundredths(first.startX);
  const float startY = roundToHundredths(first.startY);
  const std::string x = formatFixed4(first.startX);
  const std::string y = formatFixed4(first.startY);
  writer.writeBlock({.gWord = "G00", .x = x, .y = y, .z = formatFixed(s.safeZ, 4)});
  const Point2 start = written(first.startX, first.startY);
  Point2 at = start;

  bool closed = false;
  // loadSettings makes sure this ends within kMostPasses passes.
  for (int32_t pass = 1;; ++pass) {
    float depth = static_cast<float>(pass) * s.passDepth;
    if (s.finalDepth >= depth) depth = s.finalDepth;
    if (s.passDepth == 0.0F) depth = s.finalDepth;  // no pass depth: one pass, all the way

    if (!closed && pass > 1) {
      writer.writeBlock({.gWord = "G00", .x = x, .y = y});
      at = start;
    }
    writePlunge(static_cast<double>(depth), s, writer);
    writeCuts(shape, count, s, writer, at);

    if (roundToHundredths(last.endX) == startX && roundToHundredths(last.endY) == startY) {
      closed = true;
    }
    if (!closed || depth == s.finalDepth) writeRetract(s, writer);
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

BlockStyle blockStyle(const CncSettings& settings) {
  if (settings.dialect == Dialect::Grbl) return {.numbered = false, .digitLimit = kGrblDigits};
  return {};
}

void checkWritable(const PathElement* elements, int32_t count, const CncSettings& settings) {
  const BlockStyle style = blockStyle(settings);
  if (style.digitLimit <= 0) return;
  // The same composer the program is written with, into nothing: it refuses
  // the first number that would lose a digit.
  std::ostringstream nowhere;
  GcodeWriter probe(nowhere, false, style);
  for (int32_t i = 0; i < count; ++i) {
    const PathElement& e = elements[i];
    probe.beginBlock();
    probe.addBlockNumber('X', e.startX);
    probe.addBlockNumber('Y', e.startY);
    probe.addBlockNumber('X', e.endX);
    probe.addBlockNumber('Y', e.endY);
    if (e.radius > 0.0 && isFullCircle(e)) probe.addBlockNumber('X', e.endX + 2.0 * e.radius);
  }
}

std::string toolChangeLine(const CncSettings& settings) {
  const std::string tool = formatInt(settings.toolNumber);
  const std::string diameter = formatFixed(settings.toolDiameter, 4);
  switch (settings.dialect) {
    case Dialect::LinuxCnc:
      return "T" + tool + " M6 (DIA. " + diameter + "mm)";
    case Dialect::Grbl:  // no tool changer: the operator mounts the tool
      return "(TOOL T" + tool + " DIA. " + diameter + "mm)";
    case Dialect::Classic:
      break;
  }
  return "T" + tool + "M6 ( DIA. " + diameter + "mm )";
}

int32_t writeHeader(const CncSettings& settings, GcodeWriter& writer) {
  writer.writeLine("(Created with Brevanto)");
  if (settings.dialect == Dialect::Classic) {
    writer.writeLine("G0 G49 G40  G17 G80 G50 G90");
  } else {
    // XY plane, no cutter or length compensation, no canned cycle, absolute
    // coordinates, arc centres relative to the arc's start.
    writer.writeLine("G17 G40 G49 G80 G90 G91.1");
  }
  writer.writeLine(toolChangeLine(settings));
  writer.writeLine("G21 (mm)");
  writer.writeLine("M03 S20000.0000");
  writer.writeLine("M08");
  if (settings.dialect == Dialect::Classic) {
    writer.writeLine("G64");
  } else if (settings.dialect == Dialect::LinuxCnc) {
    // Blend moves, but never round a corner by more than the tolerance.
    std::string blend = "G64 P";
    appendFixed4(blend, kLinuxCncBlendTolerance);
    writer.writeLine(blend);
  }
  writer.writeLine("G00 Z80.0000");
  return 0;
}

int32_t writeFooter(GcodeWriter& writer) {
  writer.writeBlock({.comment = "HOME POSITION"});
  writer.writeLine("G00 X10.0000 Y300.0000 Z80.0000 M5");
  writer.writeLine("M30");
  return 0;
}

void writePlunge(double z, const CncSettings& settings, GcodeWriter& writer) {
  writer.writeBlock(
      {.gWord = "G01", .z = formatFixed4(z), .f = formatFixed(settings.plungeFeed, 1)});
}

void writeRetract(const CncSettings& settings, GcodeWriter& writer) {
  writer.writeBlock({.gWord = "G00", .z = formatFixed(settings.safeZ, 4)});
}

int32_t writeProgram(const PathElement* elements, int32_t count, const CncSettings& settings,
                     GcodeWriter& writer) {
  if (elements == nullptr || count < 0) count = 0;
  const std::vector<int32_t> counts = shapeCounts(elements, count);
  writeHeader(settings, writer);
  const PathElement* shape = elements;
  for (const int32_t shapeCount : counts) {
    writeShape(shape, shapeCount, settings, writer);
    shape += shapeCount;
  }
  writeFooter(writer);
  return 0;
}

}  // namespace brevanto
