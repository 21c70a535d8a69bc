#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "brevanto/brevanto.h"
#include "report/job_summary.h"
#include "shape_tags.h"

namespace brevanto::cli {

class HersheyFont;

// What to read: an SVG or DXF drawing, or a .seg file of raw Segment records.
struct DrawingRequest {
  std::string path;
  bool flipY = true;      // SVG's downward y axis flipped about the page height
  double dpi = 96.0;      // pixels per inch of px and unitless lengths
  bool dpiGiven = false;  // the user chose the density (--dpi)
  bool quiet = false;     // no notes on what was read
  bool strict = false;    // anything left out refuses the drawing
  size_t largest = 0;     // bytes: a larger file is refused before it is read
  std::string dxfUnits;   // a DXF drawing's unit instead of its own ($INSUNITS); "" for its own
  // TextFont=hershey:NAME: texts in this single-stroke font; null: outlines.
  std::shared_ptr<const HersheyFont> hersheyFont;
};

// The drawing's segments and what the summary says of them.
struct Drawing {
  std::vector<Segment> segments;
  std::vector<ShapeTags> tags;  // tags[k - 1] is shape key k's; may be empty (nothing known)
  DrawingFacts facts;
};

// Reads the drawing, saying on standard error what was left out of it;
// nullopt after saying why it cannot be used.
std::optional<Drawing> readDrawing(const DrawingRequest& request);

}  // namespace brevanto::cli
