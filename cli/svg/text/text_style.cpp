#include "text_style.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "../element_context.h"
#include "../style_sheet.h"

namespace brevanto::cli {
namespace {

constexpr std::array<const char*, 10> kProperties = {
    "font-family",  "font-size",   "font-weight",  "font-style", "letter-spacing",
    "word-spacing", "text-anchor", "writing-mode", "direction",  "space"};

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// A CSS length in user units: px and plain numbers as they are, physical
// units at 96 px per inch, em and % of `em`, ex as half an em. nullopt when
// it is not a finite length.
std::optional<double> length(const std::string& text, double em) {
  const char* start = text.c_str();
  char* end = nullptr;
  const double number = std::strtod(start, &end);
  if (end == start || !std::isfinite(number)) return std::nullopt;
  const std::string_view unit(end);
  double factor = 0.0;
  if (unit.empty() || unit == "px") {
    factor = 1.0;
  } else if (unit == "pt") {
    factor = 96.0 / 72.0;
  } else if (unit == "pc") {
    factor = 16.0;
  } else if (unit == "in") {
    factor = 96.0;
  } else if (unit == "cm") {
    factor = 96.0 / 2.54;
  } else if (unit == "mm") {
    factor = 96.0 / 25.4;
  } else if (unit == "em") {
    factor = em;
  } else if (unit == "ex") {
    factor = em / 2.0;
  } else if (unit == "%") {
    factor = em / 100.0;
  } else {
    return std::nullopt;
  }
  return number * factor;
}

// The CSS absolute size keywords, as multiples of "medium".
std::optional<double> sizeKeyword(const std::string& value, double parent) {
  static constexpr std::pair<const char*, double> kKeywords[] = {
      {"xx-small", 3.0 / 5.0}, {"x-small", 3.0 / 4.0}, {"small", 8.0 / 9.0}, {"medium", 1.0},
      {"large", 6.0 / 5.0},    {"x-large", 3.0 / 2.0}, {"xx-large", 2.0}};
  for (const auto& [name, factor] : kKeywords) {
    if (value == name) return TextStyle{}.size * factor;
  }
  if (value == "larger") return parent * 1.2;
  if (value == "smaller") return parent / 1.2;
  return std::nullopt;
}

void apply(TextStyle& style, const TextStyle& parent, const std::string& property,
           const std::string& raw) {
  const std::string value = trimmed(raw);
  if (value.empty() || value == "inherit") return;
  if (property == "font-family") {
    style.family = value;
  } else if (property == "font-size") {
    if (const auto keyword = sizeKeyword(value, parent.size)) {
      style.size = *keyword;
    } else if (const auto size = length(value, parent.size); size && *size >= 0.0) {
      style.size = *size;
    }
  } else if (property == "font-weight") {
    if (value == "normal") {
      style.weight = 400;
    } else if (value == "bold") {
      style.weight = 700;
    } else if (value == "bolder") {
      style.weight = parent.weight < 400 ? 400 : parent.weight < 600 ? 700 : 900;
    } else if (value == "lighter") {
      style.weight = parent.weight < 600 ? 100 : parent.weight < 800 ? 400 : 700;
    } else if (const int w = std::atoi(value.c_str()); w >= 1 && w <= 1000) {
      style.weight = w;
    }
  } else if (property == "font-style") {
    style.italic = value == "italic" || value == "oblique";
  } else if (property == "letter-spacing" || property == "word-spacing") {
    double& spacing = property == "letter-spacing" ? style.letterSpacing : style.wordSpacing;
    if (value == "normal") {
      spacing = 0.0;
    } else if (const auto l = length(value, style.size)) {
      spacing = *l;
    }
  } else if (property == "text-anchor") {
    style.anchor = value == "middle" ? TextAnchor::Middle
                   : value == "end"  ? TextAnchor::End
                                     : TextAnchor::Start;
  } else if (property == "writing-mode") {
    style.vertical = value.rfind("tb", 0) == 0 || value.rfind("vertical", 0) == 0;
  } else if (property == "direction") {
    style.rightToLeft = value == "rtl";
  } else if (property == "space") {
    style.preserveSpace = value == "preserve";
  }
}

}  // namespace

bool hasTextProperties(const xmlNode* node) {
  if (xmlHasProp(node, BAD_CAST "style") != nullptr) return true;
  for (const char* name : kProperties) {
    if (xmlHasProp(node, BAD_CAST name) != nullptr) return true;
  }
  return false;
}

TextStyle inheritTextStyle(const TextStyle& parent, const xmlNode* node) {
  TextStyle style = parent;
  // xml:space is in the XML namespace, and libxml2 reads it with inheritance.
  if (const int preserve = xmlNodeGetSpacePreserve(node); preserve >= 0) {
    style.preserveSpace = preserve == 1;
  }
  // font-size first: the other lengths in em refer to it.
  for (const char* name : kProperties) {
    if (name == std::string_view("space")) continue;
    const std::string value = attributeText(node, name);
    if (!value.empty()) apply(style, parent, name, value);
  }
  const std::vector<StyleDeclaration> declarations =
      parseDeclarations(attributeText(node, "style"));
  for (const StyleDeclaration& d : declarations) {
    if (d.property == "font-size") apply(style, parent, d.property, d.value);
  }
  for (const StyleDeclaration& d : declarations) {
    if (d.property != "font-size" && d.property != "space") {
      apply(style, parent, d.property, d.value);
    }
  }
  return style;
}

}  // namespace brevanto::cli
