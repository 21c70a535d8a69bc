#include "text_layout.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <optional>

#include "../element_context.h"

namespace brevanto::cli {
namespace {

// An element that sets characters (the text, a tspan, a link within it),
// with its position lists and how many of its characters are placed so far.
struct Frame {
  const Frame* parent = nullptr;
  TextStyle style;
  std::vector<double> x, y, dx, dy;
  mutable size_t placed = 0;
};

struct Character {
  char32_t c;
  const Frame* frame;
};

// A list of coordinates ("10 20,30.5px"); a value that is not a length ends it.
std::vector<double> coordinates(const xmlNode* node, const char* name) {
  std::vector<double> values;
  const std::string text = attributeText(node, name);
  const char* at = text.c_str();
  while (*at != '\0') {
    while (*at == ' ' || *at == ',' || *at == '\t' || *at == '\n' || *at == '\r') ++at;
    if (*at == '\0') break;
    char* end = nullptr;
    double v = std::strtod(at, &end);
    if (end == at || !std::isfinite(v)) break;
    static constexpr std::pair<const char*, double> kUnits[] = {
        {"px", 1.0},         {"pt", 96.0 / 72.0}, {"pc", 16.0},
        {"mm", 96.0 / 25.4}, {"cm", 96.0 / 2.54}, {"in", 96.0}};
    for (const auto& [unit, factor] : kUnits) {
      if (std::string_view(end).starts_with(unit)) {
        v *= factor;
        end += 2;
        break;
      }
    }
    values.push_back(v);
    at = end;
  }
  return values;
}

struct Walk {
  std::deque<Frame> frames;
  std::vector<Character> characters;

  const Frame* enter(const Frame* parent, const xmlNode* node, const TextStyle& style) {
    Frame& f = frames.emplace_back();
    f.parent = parent;
    f.style = style;
    f.x = coordinates(node, "x");
    f.y = coordinates(node, "y");
    f.dx = coordinates(node, "dx");
    f.dy = coordinates(node, "dy");
    return &f;
  }

  void collect(const xmlNode* node, const Frame* frame) {
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
        decode(reinterpret_cast<const char*>(child->content), frame);
      } else if (child->type == XML_ELEMENT_NODE) {
        // Text along a path (textPath) is left out, counted by the survey.
        if ((named(child, "tspan") || named(child, "a")) &&
            attributeText(child, "display") != "none") {
          collect(child, enter(frame, child, inheritTextStyle(frame->style, child)));
        }
      }
    }
  }

  void decode(const char* utf8, const Frame* frame) {
    if (utf8 == nullptr) return;
    int length = static_cast<int>(std::char_traits<char>::length(utf8));
    const auto* at = reinterpret_cast<const FcChar8*>(utf8);
    while (length > 0) {
      FcChar32 c = 0;
      const int used = FcUtf8ToUcs4(at, &c, length);
      if (used <= 0) break;  // libxml2 hands over valid UTF-8 only
      characters.push_back({static_cast<char32_t>(c), frame});
      at += used;
      length -= used;
    }
  }

  // Line breaks dropped, tabs made spaces, runs of spaces made one and the
  // spaces at either end dropped; with xml:space="preserve" every line
  // break and tab is a space, and all are kept.
  void collapseWhiteSpace() {
    std::vector<Character> kept;
    bool afterSpace = true;
    for (Character ch : characters) {
      const bool isBreak = ch.c == '\n' || ch.c == '\r';
      if (ch.frame->style.preserveSpace) {
        if (isBreak || ch.c == '\t') ch.c = ' ';
      } else {
        if (isBreak) continue;
        if (ch.c == '\t') ch.c = ' ';
        if (ch.c == ' ' && afterSpace) continue;
      }
      kept.push_back(ch);
      afterSpace = ch.c == ' ';
    }
    while (!kept.empty() && kept.back().c == ' ' && !kept.back().frame->style.preserveSpace) {
      kept.pop_back();
    }
    characters = std::move(kept);
  }
};

// The value for the next character from the nearest element whose list
// still has one.
std::optional<double> nextValue(const Frame* frame, std::vector<double> Frame::*list) {
  for (const Frame* f = frame; f != nullptr; f = f->parent) {
    if (f->placed < (f->*list).size()) return (f->*list)[f->placed];
  }
  return std::nullopt;
}

struct Placement {
  std::optional<double> x, y;
  double dx = 0.0, dy = 0.0;
  [[nodiscard]] bool any() const { return x || y || dx != 0.0 || dy != 0.0; }
};

struct PlacedGlyph {
  const TextFace* face;
  uint32_t glyph;
  double x, y, size;
};

}  // namespace

LaidOutText layOutText(const xmlNode* text, const TextStyle& style, TextFonts& fonts,
                       size_t mostCommands) {
  LaidOutText out;
  Walk walk;
  const Frame* root = walk.enter(nullptr, text, style);
  walk.collect(text, root);
  walk.collapseWhiteSpace();
  std::vector<Character>& chars = walk.characters;
  const std::string tooMuch = "the text makes more than the " + std::to_string(mostCommands) +
                              " segments the drawing may still make";
  if (chars.size() > mostCommands) {
    out.error = tooMuch;
    return out;
  }
  for (const Character& ch : chars) {
    if (ch.frame->style.vertical) out.leftOut = "vertical text";
    if (ch.frame->style.rightToLeft) out.leftOut = "right-to-left text";
  }
  if (!out.leftOut.empty()) return out;

  std::vector<Placement> placements(chars.size());
  for (size_t i = 0; i < chars.size(); ++i) {
    const Frame* frame = chars[i].frame;
    placements[i] = {nextValue(frame, &Frame::x), nextValue(frame, &Frame::y),
                     nextValue(frame, &Frame::dx).value_or(0.0),
                     nextValue(frame, &Frame::dy).value_or(0.0)};
    for (const Frame* f = frame; f != nullptr; f = f->parent) ++f->placed;
  }

  std::vector<PlacedGlyph> glyphs;
  struct Chunk {
    size_t first;  // glyph index
    double startX, endX;
    TextAnchor anchor;
  };
  std::vector<Chunk> chunks;
  double penX = 0.0, penY = 0.0;
  // A chunk's width ends at its last glyph's advance: the letter spacing
  // after it does not count, as a renderer anchors it.
  double trailing = 0.0;
  for (size_t start = 0; start < chars.size();) {
    // A run: characters of one element, positioned only at its first.
    size_t end = start + 1;
    while (end < chars.size() && chars[end].frame == chars[start].frame && !placements[end].any())
      ++end;
    const Placement& p = placements[start];
    const TextStyle& s = chars[start].frame->style;
    if (chunks.empty() || p.x || p.y) {
      if (!chunks.empty()) chunks.back().endX = penX - trailing;
      penX = p.x.value_or(penX);
      penY = p.y.value_or(penY);
      chunks.push_back({glyphs.size(), penX, penX, s.anchor});
    }
    penX += p.dx;
    penY += p.dy;
    std::string error;
    const TextFace* face = fonts.hershey ? fonts.hershey.get() : fonts.outline.face(s, error);
    if (face == nullptr) {
      out.error = error;
      return out;
    }
    if (std::find(out.fonts.begin(), out.fonts.end(), face->name()) == out.fonts.end())
      out.fonts.push_back(face->name());
    std::u32string run;
    for (size_t i = start; i < end; ++i) run += chars[i].c;
    const std::vector<ShapedGlyph> shaped = face->shape(run);
    for (size_t g = 0; g < shaped.size(); ++g) {
      const ShapedGlyph& sg = shaped[g];
      glyphs.push_back(
          {face, sg.glyph, penX + sg.offsetX * s.size, penY - sg.offsetY * s.size, s.size});
      penX += sg.advance * s.size;
      trailing = 0.0;
      if (g + 1 == shaped.size() || shaped[g + 1].cluster != sg.cluster) {
        penX += s.letterSpacing;
        trailing = s.letterSpacing;
        if (sg.cluster < run.size() && run[sg.cluster] == ' ') penX += s.wordSpacing;
      }
    }
    start = end;
  }
  if (!chunks.empty()) chunks.back().endX = penX - trailing;

  out.strokes = fonts.hershey != nullptr;
  for (size_t c = 0; c < chunks.size(); ++c) {
    const Chunk& chunk = chunks[c];
    const size_t last = c + 1 < chunks.size() ? chunks[c + 1].first : glyphs.size();
    const double width = chunk.endX - chunk.startX;
    const double shift = chunk.anchor == TextAnchor::End      ? -width
                         : chunk.anchor == TextAnchor::Middle ? -width / 2.0
                                                              : 0.0;
    for (size_t g = chunk.first; g < last; ++g) {
      const PlacedGlyph& pg = glyphs[g];
      if (pg.size > 0.0) pg.face->draw(pg.glyph, pg.x + shift, pg.y, pg.size, out.path);
      if (out.path.size() > mostCommands) {
        out.error = tooMuch;
        return out;
      }
    }
  }
  return out;
}

}  // namespace brevanto::cli
