#pragma once

#include <array>
#include <map>
#include <polyclipping/clipper.hpp>
#include <vector>

#include "brevanto/brevanto.h"
#include "edge_grid.h"

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
  // counts as closed, filled by the even-odd or the non-zero rule. The areas
  // added are joined by finish(), in one union however many there are,
  // which must be called before the region is used.
  // False, adding nothing, once the outlines added come to more than
  // kMostEdges edges (Clipper's work on one region grows faster than its
  // edges).
  static constexpr size_t kMostEdges = 20'000;
  [[nodiscard]] bool addFilledOutline(const std::vector<Segment>& pieces, bool evenOdd);
  void finish();

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

  // A region of this many edges and more is cut into tiles for clipping:
  // each piece is clipped by the part of the region around the tiles its
  // box covers, cropped once and kept (at most kMostCrops at a time).
  static constexpr size_t kTiledEdges = 1024;
  static constexpr size_t kMostCrops = 4096;

  void grow();
  [[nodiscard]] ClipperLib::IntPoint onEdge(const ClipperLib::IntPoint& p) const;
  // The grown region, or the part of it around the box (integer units).
  [[nodiscard]] const ClipperLib::Paths& around(ClipperLib::cInt minX, ClipperLib::cInt minY,
                                                ClipperLib::cInt maxX, ClipperLib::cInt maxY) const;

  ClipperLib::Paths area_;   // non-zero filled polygons
  ClipperLib::Paths added_;  // areas added since the last finish()
  ClipperLib::Paths grown_;  // area_ grown by kOnEdgeMm
  ClipperLib::IntRect grownBox_{0, 0, -1, -1};
  // The edges of area_ near each cell of a grid over it, for onEdge on a
  // large region; empty for a small one, whose edges are all tried.
  EdgeGrid edges_;
  size_t addedEdges_ = 0;
  int32_t tiles_ = 0;  // tiles across and down; 0: the region is not tiled
  mutable std::map<std::array<int32_t, 4>, ClipperLib::Paths> crops_;  // by tile range
  // Set for a plain rectangle: a piece whose control points lie inside is
  // inside, with no boolean work.
  bool rectangle_ = false;
  double left_ = 0.0, top_ = 0.0, right_ = 0.0, bottom_ = 0.0;
};

}  // namespace brevanto::cli
