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

  // The rectangle from (x0, y0) to (x1, y1), as a viewport clips.
  static ClipRegion rectangle(double x0, double y0, double x1, double y1);

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

  // The outline of what an area shows through this region: the area that
  // `pieces` fill (every subpath closed, by the even-odd or the non-zero
  // rule) within the region. It is clipOutline's result plus the lines of
  // this region's edge that lie within the area, joined end to end into
  // closed subpaths wherever they meet.
  [[nodiscard]] std::vector<Segment> clipFilledOutline(const std::vector<Segment>& pieces,
                                                       bool evenOdd, bool& removed) const;

 private:
  // An outline that runs along the region's edge (a shape clipped by its own
  // outline) is inside: outlines are clipped by the region grown by this.
  static constexpr double kOnEdgeMm = 1.0e-3;

  void grow();
  [[nodiscard]] ClipperLib::IntPoint onEdge(const ClipperLib::IntPoint& p) const;

  ClipperLib::Paths area_;   // non-zero filled polygons
  ClipperLib::Paths grown_;  // area_ grown by kOnEdgeMm
  // Set for a plain rectangle: a piece whose control points lie inside is
  // inside, with no boolean work.
  bool rectangle_ = false;
  double left_ = 0.0, top_ = 0.0, right_ = 0.0, bottom_ = 0.0;
};

}  // namespace brevanto::cli
