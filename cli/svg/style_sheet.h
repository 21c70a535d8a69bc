#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "selector_matcher.h"

namespace brevanto::cli {

struct StyleDeclaration {
  std::string property;
  std::string value;
  bool important = false;
};

// Splits "a:b; c:d !important" into declarations, as written in a rule's
// block or an element's style attribute.
std::vector<StyleDeclaration> parseDeclarations(std::string_view text);

// The rules of a drawing's <style> sheets, as drawing programs write them:
// selectors of type, class, id, attribute presence or value and *, joined
// by descendant (space) or child (>) combinators, in comma lists. A selector
// with anything else (pseudo-classes, sibling combinators) never matches,
// which is also what a renderer does for :hover and the like. @media blocks
// for screen or all are read; other at-rules are skipped; nothing is loaded.
class StyleSheet {
 public:
  // Adds the rules of one sheet's text.
  void parse(std::string_view css);
  [[nodiscard]] bool empty() const { return rules_.empty(); }

  // Folds the matching rules into each element's style attribute, so the
  // reader sees the cascade's outcome: rules by specificity then order,
  // below the element's own style declarations, and !important ones above.
  // Presentation attributes stay below both, as style attributes already
  // override them. The marker shorthand is written out as its three parts.
  // The matching of a drawing's selectors has a budget of compound tests
  // that grows with the drawing; a made-up sheet that spends it gets a
  // message naming the limit (empty on success).
  [[nodiscard]] std::string applyTo(xmlNode* root) const;

 private:
  struct Rule {
    CssSelector selector;
    std::vector<StyleDeclaration> declarations;
    size_t order = 0;
  };

  void parseBlock(std::string_view css, int depth);
  void addRule(std::string_view selectors, std::string_view body);
  static bool parseSelector(std::string_view text, CssSelector& out);

  std::vector<Rule> rules_;
};

}  // namespace brevanto::cli
