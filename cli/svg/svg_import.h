#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "brevanto/brevanto.h"

namespace brevanto::cli {

struct ImportOptions {
  // SVG's y axis points down; the machine's points up. Flip about the page
  // height (the drawing's lowest point when the page has no height).
  bool flipY = true;
};

struct ImportResult {
  std::vector<Segment> segments;  // in millimetres, shapes numbered 1, 2, 3...
  int32_t shapes = 0;
  // Elements that could carry geometry but are not cut (text, images,
  // unknown SVG elements), by element name.
  std::map<std::string, int32_t> skippedElements;
  double pageWidthMm = 0.0;  // 0 when the drawing does not say
  double pageHeightMm = 0.0;
  std::vector<std::string> warnings;  // "line N: ..." notes on parts that were left out
  std::string error;                  // empty on success
  int32_t errorLine = 0;              // line of the offending element or text; 0 when unknown

  [[nodiscard]] bool ok() const { return error.empty(); }
  [[nodiscard]] int32_t skippedCount() const;
};

// Reads an SVG drawing. Never throws: a drawing that cannot be read gives an
// ImportResult with `error` set (and `errorLine` where the line is known).
ImportResult importSvg(std::string_view text, const ImportOptions& options);

}  // namespace brevanto::cli
