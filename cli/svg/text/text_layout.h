#pragma once

// Sets the characters of a <text> element (with its tspans) in a row, as a
// renderer does: white space collapsed, each character placed by the x, y,
// dx and dy lists that apply to it, each text chunk (a run from one absolute
// position to the next) moved by its text-anchor, letter and word spacing
// added, and every glyph drawn as a path in the element's user units.
#include <libxml/tree.h>

#include <memory>
#include <string>
#include <vector>

#include "../path_commands.h"
#include "hershey_font.h"
#include "outline_fonts.h"
#include "text_style.h"

namespace brevanto::cli {

// The fonts of one drawing's texts: the outline fonts fontconfig chooses,
// or one Hershey font for all.
struct TextFonts {
  OutlineFonts outline;
  std::shared_ptr<const HersheyFont> hershey;
};

struct LaidOutText {
  std::vector<PathCommand> path;   // user units of the text element
  bool strokes = false;            // open single strokes rather than closed outlines
  std::vector<std::string> fonts;  // the fonts used, in the order first used
  // Why the text is not drawn at all ("vertical text"); empty when it is.
  std::string leftOut;
  std::string error;  // a font that cannot be had
};

// At most `mostCommands` path commands are made: past them (or past as many
// characters) the layout stops with `error` set, so that a huge text costs
// no more than the drawing's budget allows.
LaidOutText layOutText(const xmlNode* text, const TextStyle& style, TextFonts& fonts,
                       size_t mostCommands);

}  // namespace brevanto::cli
