#pragma once

// What the text layout asks of a font: the glyphs of a run of characters and
// where they go, and the path of one glyph. Measures are per em (font size
// 1), so one face serves every size.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../path_commands.h"

namespace brevanto::cli {

struct ShapedGlyph {
  uint32_t glyph = 0;
  uint32_t cluster = 0;  // index of the first character of the run it stands for
  double advance = 0.0;  // em, along the line
  double offsetX = 0.0;  // em, from the pen position
  double offsetY = 0.0;  // em, upwards
};

class TextFace {
 public:
  TextFace() = default;
  TextFace(const TextFace&) = delete;
  TextFace& operator=(const TextFace&) = delete;
  virtual ~TextFace() = default;

  // The glyphs of a run of characters set left to right, in visual order.
  [[nodiscard]] virtual std::vector<ShapedGlyph> shape(std::u32string_view text) const = 0;
  // Appends the glyph's path, set at `size` with its origin at (x, y) in
  // user units (y down), as commands in user units.
  virtual void draw(uint32_t glyph, double x, double y, double size,
                    std::vector<PathCommand>& out) const = 0;
  // Outline glyphs are closed areas; single-stroke glyphs are open lines
  // the tool follows once.
  [[nodiscard]] virtual bool strokes() const = 0;
  // The font actually used, for the summary ("DejaVu Sans Bold").
  [[nodiscard]] virtual const std::string& name() const = 0;
};

}  // namespace brevanto::cli
