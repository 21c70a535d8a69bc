#pragma once

// The properties that decide how a text is set, as an element inherits them
// from its parents and changes them by its attributes and style.
#include <libxml/tree.h>

#include <string>

namespace brevanto::cli {

enum class TextAnchor { Start, Middle, End };

struct TextStyle {
  std::string family = "Times New Roman";  // a renderer's default; fontconfig may substitute
  double size = 12.0;                      // user units (px), a renderer's "medium"
  int weight = 400;                        // 100..900, 400 normal, 700 bold
  bool italic = false;                     // italic or oblique
  double letterSpacing = 0.0;              // user units added after each character
  double wordSpacing = 0.0;                // user units added after each space
  TextAnchor anchor = TextAnchor::Start;
  bool preserveSpace = false;  // xml:space="preserve"
  bool vertical = false;       // writing-mode tb/vertical: not set here
  bool rightToLeft = false;    // direction rtl: not set here
};

// The style of `node`, a child of an element of style `parent`: its
// presentation attributes, overridden by its style attribute's declarations.
// Values that cannot be read keep the inherited value, as a renderer ignores
// an invalid declaration.
TextStyle inheritTextStyle(const TextStyle& parent, const xmlNode* node);

// Whether the element says anything of how text is set (so that a context
// needs to work out its style at all).
bool hasTextProperties(const xmlNode* node);

}  // namespace brevanto::cli
