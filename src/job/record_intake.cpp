#include "job/record_intake.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <string>

#include "base/job_error.h"
#include "job/job.h"

namespace brevanto {
namespace {

// Element counts travel as 32-bit ints through the joining protocol and the
// result; a list that could not be counted that way is refused up front.
constexpr size_t kMaxElements = INT32_MAX - 2;

// Coordinates are refused beyond this distance from the origin (in mm, on
// either axis): no machine table is a kilometre wide, and the stages that
// grid, measure and offset the drawing stay bounded in time only while its
// extent and the differences of its points are numbers of a sane size. The
// command's SVG reader keeps the same bound.
constexpr double kMostCoordinate = 1.0e6;

}  // namespace

// A point the job reads that is not a finite number would reach the program
// as "Xnan" or "Xinf", which a controller may read as anything, and one far
// beyond any machine as hundreds of digits: the record is refused, by its
// index, before anything is written. A line's control points are never read,
// so they may hold anything. A curve's length sets how many arcs it becomes;
// one that is no count (not a number, negative, infinite, 2^31 or more)
// would make none, and the curve would vanish without a word.
void checkFinite(const Segment& s, int64_t index) {
  const struct {
    double x, y;
    const char* what;
  } points[] = {{s.x0, s.y0, "start point"},
                {s.x3, s.y3, "end point"},
                {s.x1, s.y1, "first control point"},
                {s.x2, s.y2, "second control point"}};
  // The message is made only for a record that is refused: every record
  // passes here, a million in a large drawing.
  const auto refuse = [index](const std::string& why) {
    throw JobError(BREVANTO_NON_FINITE_COORDINATE, "segment " + std::to_string(index) + ": " + why);
  };
  const size_t read = s.kind == 1 ? 4 : 2;
  for (size_t i = 0; i < read; ++i) {
    const double x = points[i].x, y = points[i].y;
    if (!std::isfinite(x) || !std::isfinite(y)) {
      refuse(std::string("its ") + points[i].what + " is not a finite number");
    }
    if (std::fabs(x) > kMostCoordinate || std::fabs(y) > kMostCoordinate) {
      refuse(std::string("its ") + points[i].what +
             " lies more than 1000000 mm (a kilometre) from the origin");
    }
  }
  if (s.kind == 1 && !(s.length >= 0.0F && s.length < 2147483648.0F)) {
    refuse("the curve's length field is " +
           (std::isnan(s.length) ? std::string("not a number") : std::to_string(s.length)) +
           ": give its length in mm, at least 0 and below 2^31");
  }
}

void checkAllFinite(const Segment* segments, const int32_t* lastIndex) {
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) checkFinite(segments[i], i);
}

void checkElementCount(size_t count) {
  if (count > kMaxElements) {
    throw JobError(BREVANTO_OUT_OF_MEMORY, "out of memory: the drawing has too many path elements");
  }
}

std::vector<PathElement> intake(const Segment* segments, const int32_t* lastIndex,
                                JobReport& report) {
  std::vector<PathElement> out;
  if (segments == nullptr || lastIndex == nullptr) return out;
  if (*lastIndex >= 0) {
    // The caller vouches for the array size; don't trust it blindly for memory.
    out.reserve(std::min<size_t>(static_cast<size_t>(*lastIndex) + 1, size_t{1} << 20));
  }
  RecordIntake records;
  // The bound is read at every step; a 64-bit index cannot overflow at
  // INT32_MAX.
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) {
    const Segment& s = segments[i];
    checkFinite(s, i);
    records.append(s, out);
    checkElementCount(out.size());
    ++report.segmentsRead;
  }
  report.elementsAfterIntake = static_cast<int32_t>(out.size());
  return out;
}

}  // namespace brevanto
