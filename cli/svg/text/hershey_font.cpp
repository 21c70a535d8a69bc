#include "hershey_font.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "../../io/input_file.h"

namespace brevanto::cli {
namespace {

constexpr size_t kLargestFontFile = 1 << 20;  // the largest shipped is some 60 kB

bool plainName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

std::string fontList(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".jhf") names.insert(entry.path().stem().string());
  }
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  return list.empty() ? "none: install hershey-fonts-data" : list;
}

}  // namespace

std::shared_ptr<const HersheyFont> HersheyFont::load(std::string_view name,
                                                     const std::string& folder,
                                                     std::string& error) {
  const std::string path = folder + "/" + std::string(name) + ".jhf";
  std::string text;
  if (!plainName(name) || !readRegularFile(path, kLargestFontFile, text, error)) {
    error = "no Hershey font \"" + std::string(name) + "\" in " + folder +
            " (the fonts there: " + fontList(folder) + ")";
    return nullptr;
  }
  auto font = parse(text, std::string(name), error);
  if (!font) error = path + ": " + error;
  return font;
}

std::shared_ptr<const HersheyFont> HersheyFont::parse(std::string_view text, std::string name,
                                                      std::string& error) {
  auto font = std::make_shared<HersheyFont>();
  font->name_ = "Hershey " + std::move(name);
  size_t at = 0;
  int line = 1;
  while (at < text.size()) {
    if (text[at] == '\n' || text[at] == '\r') {
      line += text[at++] == '\n' ? 1 : 0;
      continue;
    }
    if (at + 8 > text.size()) {
      error = "line " + std::to_string(line) + ": a glyph without its count";
      return nullptr;
    }
    const std::string count(text.substr(at + 5, 3));
    char* end = nullptr;
    const long pairs = std::strtol(count.c_str(), &end, 10);
    if (end == count.c_str() || pairs < 1) {
      error = "line " + std::to_string(line) + ": \"" + count + "\" is not a count of points";
      return nullptr;
    }
    at += 8;
    // The pairs, skipping the line breaks of a glyph that runs on.
    std::string letters;
    while (letters.size() < static_cast<size_t>(pairs) * 2 && at < text.size()) {
      if (text[at] == '\n') ++line;
      if (text[at] != '\n' && text[at] != '\r') letters += text[at];
      ++at;
    }
    if (letters.size() < static_cast<size_t>(pairs) * 2) {
      error = "line " + std::to_string(line) + ": the glyph ends before its " + count + " points";
      return nullptr;
    }
    Glyph glyph;
    glyph.left = letters[0] - 'R';
    glyph.right = letters[1] - 'R';
    Stroke stroke;
    for (size_t i = 2; i + 1 < letters.size(); i += 2) {
      if (letters[i] == ' ' && letters[i + 1] == 'R') {
        if (!stroke.empty()) glyph.strokes.push_back(std::move(stroke));
        stroke.clear();
        continue;
      }
      stroke.emplace_back(letters[i] - 'R', letters[i + 1] - 'R');
    }
    if (!stroke.empty()) glyph.strokes.push_back(std::move(stroke));
    font->glyphs_.push_back(std::move(glyph));
  }
  if (font->glyphs_.empty()) {
    error = "no glyphs";
    return nullptr;
  }
  // The scale from the capital H where the font has one (symbol fonts do
  // not): its height from top to baseline.
  constexpr size_t kH = 'H' - 32;
  if (font->glyphs_.size() > kH && !font->glyphs_[kH].strokes.empty()) {
    int top = 0, bottom = 0;
    bool first = true;
    for (const Stroke& s : font->glyphs_[kH].strokes) {
      for (const auto& [x, y] : s) {
        top = first ? y : std::min(top, y);
        bottom = first ? y : std::max(bottom, y);
        first = false;
      }
    }
    if (bottom > top) {
      font->unitsPerEm_ = (bottom - top) / kCapitalPerEm;
      font->baseline_ = bottom;
    }
  }
  return font;
}

std::vector<ShapedGlyph> HersheyFont::shape(std::u32string_view text) const {
  std::vector<ShapedGlyph> glyphs;
  glyphs.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    // A character the font lacks is left blank, a space wide.
    const char32_t c = text[i];
    const uint32_t index = c >= 32 && c - 32 < glyphs_.size() ? c - 32 : 0;
    const Glyph& g = glyphs_[index];
    glyphs.push_back({index, static_cast<uint32_t>(i), (g.right - g.left) / unitsPerEm_, 0.0, 0.0});
  }
  return glyphs;
}

void HersheyFont::draw(uint32_t glyph, double x, double y, double size,
                       std::vector<PathCommand>& out) const {
  if (glyph >= glyphs_.size()) return;
  const Glyph& g = glyphs_[glyph];
  const double scale = size / unitsPerEm_;
  for (const Stroke& s : g.strokes) {
    for (size_t i = 0; i < s.size(); ++i) {
      out.push_back({i == 0 ? PathCommand::Move : PathCommand::Line,
                     {x + (s[i].first - g.left) * scale, y + (s[i].second - baseline_) * scale}});
    }
  }
}

}  // namespace brevanto::cli
