#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brevanto/brevanto.h"
#include "geometry/colour_palette.h"
#include "geometry/curve_flattening.h"
#include "geometry/path_element.h"

namespace brevanto {

// A record the job would misread is refused, by its index, before anything
// is written: a point that is not a finite number or lies beyond any machine
// (more than a kilometre from the origin), a curve whose length field is no
// count of millimetres.
void checkFinite(const Segment& s, int64_t index);
void checkAllFinite(const Segment* segments, const int32_t* lastIndex);

// A list of more elements than the joining protocol's 32-bit counts hold is
// refused as out of memory.
void checkElementCount(size_t count);

// A line record's element. Its length is the caller's measurement, not
// the distance between the end points.
inline PathElement lineElement(const Segment& s) {
  PathElement e;
  e.startX = s.x0;
  e.startY = s.y0;
  e.endX = s.x3;
  e.endY = s.y3;
  e.length = static_cast<double>(s.length);
  return e;
}

// The records' elements, each record's with its shape key and colour index.
// Neighbouring records nearly always share one colour, and the match (a pure
// function, a search of the whole palette) costs more than the rest of the
// intake: each run of equal colours is matched once.
class RecordIntake {
 public:
  // Appends the elements of record `s` to `out`. The colour is matched
  // before the kind is looked at, and only kind 1 is a curve.
  void append(const Segment& s, std::vector<PathElement>& out) {
    if (!matched_ || s.colour != matchedColour_) {
      matchedIndex_ = NearestColourIndex(s.colour);
      matchedColour_ = s.colour;
      matched_ = true;
    }
    const size_t first = out.size();
    if (s.kind == 1) {
      CurveFlattening(s, out);
    } else {
      out.push_back(lineElement(s));
    }
    for (size_t j = first; j < out.size(); ++j) {
      out[j].shapeKey = s.shapeKey;
      out[j].colourIndex = matchedIndex_;
    }
  }

 private:
  bool matched_ = false;
  int32_t matchedColour_ = 0;
  ColourIndex matchedIndex_ = 0;
};

}  // namespace brevanto
