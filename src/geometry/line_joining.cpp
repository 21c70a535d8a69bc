#include "geometry/line_joining.h"

#include <cmath>

#include "geometry/direction.h"
#include "geometry/pair_walk.h"

namespace brevanto {
namespace {

// Degrees; a precision setting that reads as 0 means this.
constexpr double kDefaultTolerance = 0.3;

double lineTolerance(double precisionSetting) {
  const double t = precisionSetting / 10.0;
  return t == 0.0 ? kDefaultTolerance : t;
}

// Two straight elements of one shape, the second not the closing zero
// element. A NaN radius is not 0, so degenerate elements are never joined.
bool isCandidate(const PathElement& a, const PathElement& b, bool bIsLast) {
  return !bIsLast && b.radius == 0.0 && a.radius == 0.0 && a.shapeKey == b.shapeKey;
}

double direction(const PathElement& e) {
  return directionDegrees(e.endY - e.startY, e.endX - e.startX);
}

// Lines that turn back on each other share a direction, but joining them
// would cut out the stretch run out and back (and a stroke retraced to its
// start would vanish). Only lines running on in the same sense are joined.
bool runsBack(const PathElement& a, const PathElement& b) {
  const double dot =
      (a.endX - a.startX) * (b.endX - b.startX) + (a.endY - a.startY) * (b.endY - b.startY);
  return dot < 0.0;
}

void writeJoinedLine(const PathElement& a, const PathElement& b, PathElement& out) {
  out = PathElement{};
  out.startX = a.startX;
  out.startY = a.startY;
  out.endX = b.endX;
  out.endY = b.endY;
  const double dy = b.endY - a.startY;
  const double dx = b.endX - a.startX;
  out.length = std::sqrt(dy * dy + dx * dx);
  out.clockwise = a.clockwise;
  out.shapeKey = a.shapeKey;
  out.colourIndex = a.colourIndex;
}

}  // namespace

int32_t LineMerge(const PathElement* input, PathElement* output, const int32_t* count,
                  double precision) {
  if (*count <= 0) return -1;
  const double tolerance = lineTolerance(precision);
  return walkPairs(
      input, output, *count,
      [tolerance](const PathElement& a, const PathElement& b, bool bIsLast, PathElement& joined) {
        if (!isCandidate(a, b, bIsLast)) return PairOutcome::CopyFirst;
        // No wrap-around at the vertical: 90 and -89.9 differ by
        // 179.9. A difference exactly equal to the tolerance joins.
        const double delta = std::fabs(direction(a) - direction(b));
        if (delta > tolerance || runsBack(a, b)) return PairOutcome::CopyBoth;
        writeJoinedLine(a, b, joined);
        return PairOutcome::Joined;
      });
}

}  // namespace brevanto
