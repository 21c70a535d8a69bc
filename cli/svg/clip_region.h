#pragma once

#include <polyclipping/clipper.hpp>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

// The area a clip path lets through, in millimetres: the union of the areas
// its shapes fill, kept as polygons of their flattened outlines (Clipper does
// the boolean work on integer coordinates of 0.1 µm).
class ClipRegion {
 public:
  // How finely curves are flattened for the boolean work.
  static constexpr double kFlatnessMm = 0.002;

  // Adds the area an outline fills. `pieces` are an element's segments as
  // OutlineBuilder collects them (shapeKey: the subpath index); every subpath
  // counts as closed, filled by the even-odd or the non-zero rule.
  void addFilledOutline(const std::vector<Segment>& pieces, bool evenOdd);

  // The part of this region that `other` also covers.
  [[nodiscard]] ClipRegion intersection(const ClipRegion& other) const;

  // What of an outline lies inside: pieces that the boundary does not touch
  // are kept as they are (curves stay curves); those it crosses become the
  // lines of their flattened parts inside; those outside are dropped. The
  // result is in the same form as the input, a new subpath wherever the
  // outline was cut. `removed` tells whether anything was cut away.
  [[nodiscard]] std::vector<Segment> clipOutline(const std::vector<Segment>& pieces,
                                                 bool& removed) const;

 private:
  ClipperLib::Paths area_;  // non-zero filled polygons
};

}  // namespace brevanto::cli
