#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brevanto::cli {

// The element's attribute of this name without a namespace; `present`
// tells whether it has one.
std::string attributeValue(const xmlNode* node, const char* name, bool& present);

// One compound of a CSS selector: a type, an id, classes and attribute
// tests that one element must all pass.
struct CssCompound {
  std::string type;  // empty: any element
  std::string id;
  std::vector<std::string> classes;
  std::vector<std::pair<std::string, std::string>> attributes;  // name, value (kAnyValue: any)
  static constexpr const char* kAnyValue = "\x01";
};

struct CssSelector {
  std::vector<CssCompound> compounds;  // left to right
  std::vector<char> combinators;       // between compounds: ' ' descendant, '>' child
  int specificity = 0;
};

// Matches selectors against the elements of one document. A descendant
// combinator asks whether any ancestor matches the selector's left part;
// each such answer is worked out once per selector and element and kept, so
// a long chain of descendant steps over deeply nested groups costs no more
// than its compounds times the groups. The whole document shares one budget
// of compound tests; once it is spent, exhausted() is true and nothing more
// matches.
class SelectorMatcher {
 public:
  static constexpr size_t kMaxCompounds = 4096;  // a longer selector never matches

  SelectorMatcher(const xmlNode* root, int64_t budget);

  // Whether selector number `rule` (any stable number for `s`) matches.
  bool matches(size_t rule, const CssSelector& s, const xmlNode* node);
  [[nodiscard]] bool exhausted() const { return tests_ > budget_; }
  [[nodiscard]] int64_t budget() const { return budget_; }

  // An element's classes, from its class attribute.
  static std::vector<std::string> classesOf(const xmlNode* node);

 private:
  struct Facts {
    std::vector<std::string> classes;
    std::string id;
  };
  // Known answers, two bits each: bit 1 known, bit 0 the answer.
  struct Memo {
    uint8_t here = 0;   // the selector's compounds up to this one match here
    uint8_t above = 0;  // ... here or at an ancestor
  };

  bool compoundMatches(const CssCompound& c, const xmlNode* node);
  bool matchFrom(size_t rule, const CssSelector& s, size_t index, const xmlNode* node);
  bool matchHereOrAbove(size_t rule, const CssSelector& s, size_t index, const xmlNode* node);
  Memo& memo(size_t rule, size_t index, const xmlNode* node);

  std::unordered_map<const xmlNode*, uint32_t> ordinal_;
  std::vector<Facts> facts_;
  std::unordered_map<uint64_t, Memo> memo_;
  int64_t budget_;
  int64_t tests_ = 0;
};

}  // namespace brevanto::cli
