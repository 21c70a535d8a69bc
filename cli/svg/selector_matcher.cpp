#include "selector_matcher.h"

#include <algorithm>
#include <cstring>

namespace brevanto::cli {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

const xmlNode* parentElement(const xmlNode* node) {
  const xmlNode* up = node->parent;
  return up != nullptr && up->type == XML_ELEMENT_NODE ? up : nullptr;
}

}  // namespace

std::string attributeValue(const xmlNode* node, const char* name, bool& present) {
  xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
  present = value != nullptr;
  if (value == nullptr) return {};
  std::string s(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return s;
}

std::vector<std::string> SelectorMatcher::classesOf(const xmlNode* node) {
  std::vector<std::string> classes;
  bool present = false;
  const std::string s = attributeValue(node, "class", present);
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && isSpace(s[i])) ++i;
    size_t j = i;
    while (j < s.size() && !isSpace(s[j])) ++j;
    if (j > i) classes.push_back(s.substr(i, j - i));
    i = j;
  }
  return classes;
}

SelectorMatcher::SelectorMatcher(const xmlNode* root, int64_t budget) : budget_(budget) {
  std::vector<const xmlNode*> pending{root};
  while (!pending.empty()) {
    const xmlNode* node = pending.back();
    pending.pop_back();
    ordinal_.emplace(node, static_cast<uint32_t>(facts_.size()));
    bool present = false;
    facts_.push_back({classesOf(node), attributeValue(node, "id", present)});
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
  }
}

bool SelectorMatcher::compoundMatches(const CssCompound& compound, const xmlNode* node) {
  if (++tests_ > budget_) return false;
  const auto found = ordinal_.find(node);
  if (found == ordinal_.end()) return false;
  const Facts& facts = facts_[found->second];
  if (!compound.type.empty() &&
      std::strcmp(reinterpret_cast<const char*>(node->name), compound.type.c_str()) != 0) {
    return false;
  }
  if (!compound.id.empty() && facts.id != compound.id) return false;
  for (const std::string& c : compound.classes) {
    if (std::find(facts.classes.begin(), facts.classes.end(), c) == facts.classes.end()) {
      return false;
    }
  }
  for (const auto& [name, value] : compound.attributes) {
    bool present = false;
    const std::string v = attributeValue(node, name.c_str(), present);
    if (!present || (value != CssCompound::kAnyValue && v != value)) return false;
  }
  return true;
}

SelectorMatcher::Memo& SelectorMatcher::memo(size_t rule, size_t index, const xmlNode* node) {
  const uint64_t elements = facts_.size();
  const uint64_t key =
      (static_cast<uint64_t>(rule) * kMaxCompounds + index) * elements + ordinal_.at(node);
  return memo_[key];
}

// Right to left: the compound at `index` matches `node`, and what lies left
// of it matches the parent (a child combinator) or an ancestor.
bool SelectorMatcher::matchFrom(size_t rule, const CssSelector& s, size_t index,
                                const xmlNode* node) {
  if (!compoundMatches(s.compounds[index], node)) return false;
  if (index == 0) return true;
  const xmlNode* parent = parentElement(node);
  if (parent == nullptr) return false;
  if (s.combinators[index - 1] == '>') {
    Memo& m = memo(rule, index - 1, parent);
    if ((m.here & 2) == 0) {
      const bool here = matchFrom(rule, s, index - 1, parent);
      memo(rule, index - 1, parent).here = static_cast<uint8_t>(2 | (here ? 1 : 0));
      return here;
    }
    return (m.here & 1) != 0;
  }
  return matchHereOrAbove(rule, s, index - 1, parent);
}

bool SelectorMatcher::matchHereOrAbove(size_t rule, const CssSelector& s, size_t index,
                                       const xmlNode* node) {
  {
    const Memo& m = memo(rule, index, node);
    if ((m.above & 2) != 0) return (m.above & 1) != 0;
  }
  bool here = false;
  {
    const Memo m = memo(rule, index, node);
    if ((m.here & 2) != 0) {
      here = (m.here & 1) != 0;
    } else {
      here = matchFrom(rule, s, index, node);
      memo(rule, index, node).here = static_cast<uint8_t>(2 | (here ? 1 : 0));
    }
  }
  const xmlNode* parent = parentElement(node);
  const bool found = here || (parent != nullptr && matchHereOrAbove(rule, s, index, parent));
  memo(rule, index, node).above = static_cast<uint8_t>(2 | (found ? 1 : 0));
  return found;
}

bool SelectorMatcher::matches(size_t rule, const CssSelector& s, const xmlNode* node) {
  return !s.compounds.empty() && s.compounds.size() <= kMaxCompounds &&
         matchFrom(rule, s, s.compounds.size() - 1, node) && !exhausted();
}

}  // namespace brevanto::cli
