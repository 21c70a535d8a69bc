#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brevanto::cli {

// What a drawing says of one shape beyond its geometry, so that a job's
// operations can select shapes by it. Every reader (SVG, DXF, text) fills one
// per shape it makes, in shape-key order.
struct ShapeTags {
  int32_t stroke = -1;  // red + 256*green + 65536*blue; -1 when none
  int32_t fill = -1;    // likewise
  std::string layer;    // the nearest enclosing layer's label (or group's id); DXF: its layer
  std::string id;       // the element's own id, if any
  std::vector<std::string> classes;
};

}  // namespace brevanto::cli
