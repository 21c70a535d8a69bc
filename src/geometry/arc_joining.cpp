#include "geometry/arc_joining.h"

#include <cmath>

#include "geometry/arc_fit.h"
#include "geometry/direction.h"
#include "geometry/pair_walk.h"
#include "geometry/round_to_decimals.h"

namespace brevanto {
namespace {

// A precision setting that reads as 0 (empty, not a number, or 0) means this.
constexpr float kDefaultPrecision = 0.03F;

// The limits of one application. They are single-precision numbers, computed
// in single precision, and only widened where a double is compared with them;
// the joining decisions (and so the programs) depend on those roundings.
struct ArcLimits {
  float p10 = 0.0F;        // junction angle, centre distance, radius band
  float p3 = 0.0F;         // length of a short arc
  float bandLower = 0.0F;  // 1 - p10
  float bandUpper = 0.0F;  // 1 + p10
};

ArcLimits arcLimits(double precisionSetting) {
  float p = static_cast<float>(precisionSetting / 100.0);
  if (p == 0.0F) p = kDefaultPrecision;
  ArcLimits limits;
  limits.p10 = p * 10.0F;
  limits.p3 = p * 3.0F;
  limits.bandLower = 1.0F - limits.p10;
  limits.bandUpper = 1.0F + limits.p10;
  return limits;
}

// Two arcs of one shape turning the same way. A NaN radius fails both radius
// tests, so degenerate elements are never joined.
bool isCandidate(const PathElement& a, const PathElement& b) {
  return a.clockwise == b.clockwise && b.radius > 0.0 && a.radius > 0.0 && a.shapeKey == b.shapeKey;
}

bool insideBand(double ratio, const ArcLimits& limits) {
  return static_cast<double>(limits.bandLower) < ratio &&
         ratio < static_cast<double>(limits.bandUpper);
}

// The pair continues smoothly: the lines from each centre to the junction
// point the same way, and the two arcs are alike in one of five senses.
bool continuesSmoothly(const PathElement& a, const PathElement& b, const ArcLimits& limits) {
  const double dcx = b.centreX - a.centreX;
  const double dcy = b.centreY - a.centreY;
  const double centreDistance = std::sqrt(dcx * dcx + dcy * dcy);

  const double alphaA = directionDegrees(a.centreY - a.endY, a.centreX - a.endX);
  const double alphaB = directionDegrees(b.centreY - b.startY, b.centreX - b.startX);
  double delta = std::fabs(alphaA - alphaB);
  // Both directions lie in (-90, 90]: lines just either side of the vertical
  // differ by nearly 180 degrees although they are almost the same line.
  if (delta > 179.9) delta = 0.0;

  const double p10 = limits.p10;
  const double p3 = limits.p3;
  if (!(delta < p10)) return false;

  const bool radiiAlike = insideBand(a.radius / b.radius, limits) ||  //
                          insideBand(b.radius / a.radius, limits);
  const bool centresClose = centreDistance < p10;
  const bool oneShort = a.length < p3 || b.length < p3;
  const bool oneNearlyStraight = a.radiusPerLength > 100.0F || b.radiusPerLength > 100.0F;
  const bool lengthsFarApart = a.length > 10.0 * b.length || b.length > 10.0 * a.length;
  return radiiAlike || centresClose || oneShort || oneNearlyStraight || lengthsFarApart;
}

// How far the tool travels along an arc.
double pathLength(const PathElement& e) {
  return e.radius * turnRadians(e);
}

// Together two arcs turn at least this far before they can close a circle.
constexpr double kClosingTurn = 1.5 * 3.141592653589793;
// A joint arc turns this much more or less than its two arcs at most.
constexpr double kMostTurnChange = 0.5 * 3.141592653589793;

// The turn of an arc, 0 for a line (what a joint arc of a very large radius
// becomes).
double turnOf(const PathElement& e) {
  return e.radius > 0.0 ? turnRadians(e) : 0.0;
}

// Coordinates this close are one point whatever their roundings: the last
// sample of a curve lies at t = 1 - 2^-53, a hair's breadth from the point
// that closes its shape, and can round to the other side of a twentieth.
constexpr double kSamePoint = 1e-6;

bool samePoint(double ax, double ay, double bx, double by) {
  return std::fabs(ax - bx) <= kSamePoint && std::fabs(ay - by) <= kSamePoint;
}

// x and y agree to a resolution of 0.1.
bool sameToATenth(double x, double y) {
  return RoundToDecimals(x, 1) == RoundToDecimals(y, 1) || std::fabs(x - y) <= kSamePoint;
}

// B runs back from A's end to A's start, to a resolution of 0.1, and the two
// turn most of a whole turn together: two short arcs of a large circle
// (pieces of a curve a few hundredths of a millimetre long) also end within
// 0.1 of where they began, and the circle they lie on is no part of the
// drawing.
bool closesCircle(const PathElement& a, const PathElement& b) {
  return sameToATenth(a.endX, b.startX) && sameToATenth(a.endY, b.startY) &&
         sameToATenth(b.endX, a.startX) && sameToATenth(b.endY, a.startY) &&
         turnRadians(a) + turnRadians(b) >= kClosingTurn;
}

}  // namespace

int32_t ArcMerge(const PathElement* input, PathElement* output, const int32_t* count,
                 double precision) {
  if (*count <= 0) return -1;
  const ArcLimits limits = arcLimits(precision);
  // The closing zero element is no arc, so it never forms a candidate pair.
  return walkPairs(
      input, output, *count,
      [&limits](const PathElement& a, const PathElement& b, bool /*bIsLast*/, PathElement& joined) {
        if (!isCandidate(a, b)) return PairOutcome::CopyFirst;
        if (!continuesSmoothly(a, b, limits)) return PairOutcome::CopyBoth;
        if (closesCircle(a, b)) {
          // A whole circle, started and ended at its leftmost point.
          joined = fullCircleElement((a.centreX + b.centreX) * 0.5, (a.centreY + b.centreY) * 0.5,
                                     a.radius, a.clockwise);
        } else {
          // B ends where A starts without the two closing a circle (a drop
          // with a corner where they meet): no circle runs through A's start,
          // A's end and a point on A's start.
          if (samePoint(a.startX, a.startY, b.endX, b.endY)) return PairOutcome::CopyBoth;
          ArcFit({a.startX, a.startY}, {a.endX, a.endY}, {b.endX, b.endY}, joined);
          // Two arcs whose joint arc would run the long way round, far from
          // both, stay as they are; so do two whose joint arc turns the other
          // way, or a quarter turn more or less than they do together (a
          // line: not at all). Two that nearly close a loop without closing
          // it to a tenth have their start and end close together, and the
          // circle through those and the point where they meet runs nowhere
          // near them.
          if (foldsBack(joined, pathLength(a), pathLength(b)) ||
              (joined.radius > 0.0 && joined.clockwise != a.clockwise) ||
              std::fabs(turnOf(joined) - (turnRadians(a) + turnRadians(b))) > kMostTurnChange) {
            return PairOutcome::CopyBoth;
          }
        }
        joined.shapeKey = a.shapeKey;
        joined.colourIndex = a.colourIndex;
        return PairOutcome::Joined;
      });
}

}  // namespace brevanto
