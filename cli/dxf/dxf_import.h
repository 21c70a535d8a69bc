#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dxf_units.h"
#include "shape_tags.h"
#include "svg/svg_import.h"

namespace brevanto::cli::dxf {

struct DxfOptions {
  std::optional<DrawingUnit> unit;  // overrides the drawing's $INSUNITS
};

struct DxfImport {
  // Segments in mm (y up, as the drawing has it), shapes numbered 1, 2,
  // 3...; what was left out, by kind; the extent; error and line on failure.
  ImportResult result;
  std::vector<ShapeTags> tags;      // one per shape: its layer and colour
  std::optional<DrawingUnit> unit;  // nullopt: the drawing gave none (read as mm)
  int32_t paperSpace = 0;           // entities of paper space, not cut
};

// Reads a DXF drawing (text or binary). Never throws: a drawing that cannot
// be read gives `result.error` (with `result.errorLine` for text files).
DxfImport importDxf(std::string_view bytes, const DxfOptions& options);

// One line each: what was left out, the extent, the unit it was read in,
// what of paper space was not cut.
std::vector<std::string> describeDxf(const DxfImport& dxf);

}  // namespace brevanto::cli::dxf
