#include "entry/job.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>

#include "entry/curve_flattening.h"
#include "entry/joining_loop.h"
#include "geometry/arc_merge.h"
#include "geometry/colour_palette.h"
#include "geometry/line_merge.h"
#include "output/program_writer.h"

namespace brevanto {
namespace {

// Element counts travel as 32-bit ints through the joining protocol and the
// result; a list that could not be counted that way is refused up front.
constexpr size_t kMaxElements = INT32_MAX - 2;

PathElement lineElement(const Segment& s) {
  PathElement e;
  e.startX = s.x0;
  e.startY = s.y0;
  e.endX = s.x3;
  e.endY = s.y3;
  // The caller's measurement, not the distance between the end points.
  e.length = static_cast<double>(s.length);
  return e;
}

// 1. Intake: every record in array order; the colour is matched before the
//    kind is looked at, and only kind 1 is a curve.
void intake(const Segment* segments, const int32_t* lastIndex, std::vector<PathElement>& out,
            int32_t& segmentsRead) {
  if (segments == nullptr || lastIndex == nullptr) return;
  if (*lastIndex >= 0) {
    // The caller vouches for the array size; don't trust it blindly for memory.
    out.reserve(std::min<size_t>(static_cast<size_t>(*lastIndex) + 1, size_t{1} << 20));
  }
  // Neighbouring records nearly always share one colour, and the match (a
  // pure function, a search of the whole palette) costs more than the rest of
  // the intake: match each run of equal colours once.
  bool matched = false;
  int32_t matchedColour = 0;
  ColourIndex matchedIndex = 0;
  // The bound is read through its pointer at every step, as the caller passes
  // it by reference; a 64-bit index cannot overflow at INT32_MAX.
  for (int64_t i = 0; i <= static_cast<int64_t>(*lastIndex); ++i) {
    const Segment& s = segments[i];
    if (!matched || s.colour != matchedColour) {
      matchedIndex = NearestColourIndex(s.colour);
      matchedColour = s.colour;
      matched = true;
    }
    const ColourIndex colour = matchedIndex;
    const size_t first = out.size();
    if (s.kind == 1) {
      CurveFlattening(s, out);
    } else {
      out.push_back(lineElement(s));
    }
    for (size_t j = first; j < out.size(); ++j) {
      out[j].shapeKey = s.shapeKey;
      out[j].colourIndex = colour;
    }
    if (out.size() > kMaxElements) throw std::length_error("too many path elements");
    ++segmentsRead;
  }
}

}  // namespace

int32_t runJob(const Segment* segments, const int32_t* lastIndex, JobReport* report) {
  JobReport local;
  JobReport& r = report != nullptr ? *report : local;

  std::vector<PathElement> elements;
  intake(segments, lastIndex, elements, r.segmentsRead);
  r.elementsAfterIntake = static_cast<int32_t>(elements.size());

  // 2./3. Joining: arcs first, then lines, each until it settles. The scratch
  //       list lives only for the joining.
  {
    std::vector<PathElement> scratch;
    r.arcApplications = runJoiningLoop(elements, scratch, ArcMerge, 1);
    r.elementsAfterArcJoining = static_cast<int32_t>(elements.size());
    r.lineApplications = runJoiningLoop(elements, scratch, LineMerge, 0);
    r.elementsAfterLineJoining = static_cast<int32_t>(elements.size());
  }

  // 4. The program file.
  const auto count = static_cast<int32_t>(elements.size());
  writeProgram(elements.data(), count);
  if (r.keepElements) r.elements = elements;

  // 5. Index of the last element written.
  return count - 1;
}

}  // namespace brevanto
