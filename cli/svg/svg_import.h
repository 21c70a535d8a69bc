#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "brevanto/brevanto.h"
#include "shape_tags.h"

namespace brevanto::cli {

class HersheyFont;

struct ImportOptions {
  // SVG's y axis points down; the machine's points up. Flip about the page
  // height (the drawing's lowest point when the page has no height).
  bool flipY = true;
  // Pixels (and unitless user units) per inch, for drawings whose size is
  // not given in physical units: 96 as in CSS; 72 for drawings from some
  // illustration programs, 90 for older vector editors.
  double dpi = 96.0;
  bool dpiGiven = false;  // --dpi was given: the density is the user's choice
};

// One kind of content that is drawn on screen, or would be, but not cut.
struct LeftOut {
  std::string kind;       // "text", "images", "invisible shapes", "clipped-away pieces", ...
  int32_t count = 0;      // elements (or, for clipped-away pieces, shapes cut short)
  int32_t firstLine = 0;  // line of the first such element
};

struct ImportResult {
  std::vector<Segment> segments;  // in millimetres, shapes numbered 1, 2, 3...
  std::vector<ShapeTags> tags;    // per shape, in key order: what operations select it by
  int32_t shapes = 0;
  // Elements that could carry geometry but are not cut (text, images,
  // unknown SVG elements), by element name.
  std::map<std::string, int32_t> skippedElements;
  // Everything that is not cut, by kind, in a fixed order.
  std::vector<LeftOut> leftOut;
  // Shapes cut short by the page's edge (counted among the clipped-away
  // pieces too): a renderer shows nothing outside the page.
  LeftOut outsidePage;
  double pageWidthMm = 0.0;  // 0 when the drawing does not say
  double pageHeightMm = 0.0;
  // The outermost svg gives its size in mm, cm, in, pt or pc; otherwise the
  // size depends on ImportOptions::dpi.
  bool hasPhysicalUnits = false;
  // The root's inkscape:version when it is one before 0.92, whose pixels
  // were 90 to the inch ("" otherwise).
  std::string oldInkscapeVersion;
  int32_t texts = 0;               // text elements drawn
  std::vector<std::string> fonts;  // the fonts they were set in, in the order first used
  // The cut geometry's extent (control points included), in mm, after the
  // flip; all 0 without segments.
  double minXMm = 0.0, minYMm = 0.0, maxXMm = 0.0, maxYMm = 0.0;
  std::vector<std::string> warnings;  // "line N: ..." notes on parts that were left out
  std::string error;                  // empty on success
  int32_t errorLine = 0;              // line of the offending element or text; 0 when unknown

  [[nodiscard]] bool ok() const { return error.empty(); }
  [[nodiscard]] int32_t skippedCount() const;
  [[nodiscard]] int32_t leftOutCount() const;
};

// Reads an SVG drawing. Never throws: a drawing that cannot be read gives an
// ImportResult with `error` set (and `errorLine` where the line is known).
// With a single-stroke font (TextFont=hershey:NAME), texts are set in it
// instead of the outline fonts fontconfig chooses.
ImportResult importSvg(std::string_view text, const ImportOptions& options,
                       std::shared_ptr<const HersheyFont> hersheyFont = nullptr);

// When the drawing was saved in pixels by an Inkscape before 0.92 (90 pixels
// per inch) and no --dpi was given: what is wrong with its scale and the
// fix; "" otherwise.
std::string oldPixelScaleNote(const ImportResult& result, const ImportOptions& options);

// What a user should see of an import before cutting: what was left out,
// by kind with the first element's line; the drawing's extent in mm; and a
// warning when its size rests on the pixel density. One line each.
std::vector<std::string> describeImport(const ImportResult& result, const ImportOptions& options);

}  // namespace brevanto::cli
