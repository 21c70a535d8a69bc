#pragma once

// The Hershey fonts: single-stroke letters as Debian's hershey-fonts-data
// ships them (.jhf files), for a V-bit or laser to trace each letter once.
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text_face.h"

namespace brevanto::cli {

inline constexpr const char* kHersheyFolder = "/usr/share/hershey-fonts";

class HersheyFont final : public TextFace {
 public:
  // The scale: a capital letter (the font's "H", from its top to the
  // baseline) is this part of the font size tall, about as in the outline
  // fonts (DejaVu Sans 0.73, Liberation Serif 0.66). Every other glyph keeps
  // its size relative to it.
  static constexpr double kCapitalPerEm = 0.7;

  // The font of this name (NAME.jhf in `folder`); nullptr with `error`
  // naming the fonts there when it is missing or cannot be read.
  static std::shared_ptr<const HersheyFont> load(std::string_view name, const std::string& folder,
                                                 std::string& error);
  // A font from the text of a .jhf file: one glyph per line for the
  // characters from the space on, each a glyph number (5 columns), a count
  // of coordinate pairs (3 columns, the first pair the glyph's left and
  // right edges) and the pairs as letters relative to 'R', " R" lifting the
  // pen. A glyph may run on over the following lines.
  static std::shared_ptr<const HersheyFont> parse(std::string_view text, std::string name,
                                                  std::string& error);

  [[nodiscard]] std::vector<ShapedGlyph> shape(std::u32string_view text) const override;
  void draw(uint32_t glyph, double x, double y, double size,
            std::vector<PathCommand>& out) const override;
  [[nodiscard]] bool strokes() const override { return true; }
  [[nodiscard]] const std::string& name() const override { return name_; }

  using Stroke = std::vector<std::pair<int, int>>;  // font units, y down
  struct Glyph {
    int left = 0, right = 0;
    std::vector<Stroke> strokes;
  };
  [[nodiscard]] const std::vector<Glyph>& glyphs() const { return glyphs_; }
  [[nodiscard]] double unitsPerEm() const { return unitsPerEm_; }

 private:
  std::string name_;
  std::vector<Glyph> glyphs_;  // glyphs_[c - 32] is character c's
  double unitsPerEm_ = 30.0;
  int baseline_ = 9;
};

}  // namespace brevanto::cli
