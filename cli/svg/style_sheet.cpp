#include "style_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

namespace brevanto::cli {
namespace {

constexpr int kMaxNestedBlocks = 8;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool isNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Removes comments and the HTML comment markers some editors wrap sheets in.
std::string withoutComments(std::string_view css) {
  std::string out;
  out.reserve(css.size());
  for (size_t i = 0; i < css.size();) {
    if (css.compare(i, 2, "/*") == 0) {
      const size_t end = css.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
      out += ' ';
    } else if (css.compare(i, 4, "<!--") == 0) {
      i += 4;
    } else if (css.compare(i, 3, "-->") == 0) {
      i += 3;
    } else {
      out += css[i++];
    }
  }
  return out;
}

// Index just past the brace that closes the one at `open`, skipping strings;
// npos when it is never closed.
size_t closingBrace(std::string_view s, size_t open) {
  int depth = 0;
  char quote = 0;
  for (size_t i = open; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return i + 1;
    }
  }
  return std::string_view::npos;
}

}  // namespace

std::vector<StyleDeclaration> parseDeclarations(std::string_view text) {
  std::vector<StyleDeclaration> out;
  size_t start = 0;
  char quote = 0;
  int parens = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const char c = i < text.size() ? text[i] : ';';
    if (quote != 0) {
      if (c == quote) quote = 0;
      if (i < text.size()) continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++parens;
    } else if (c == ')' && parens > 0) {
      --parens;
    } else if (c == ';' && (parens == 0 || i == text.size())) {
      const std::string_view item = text.substr(start, i - start);
      start = i + 1;
      const size_t colon = item.find(':');
      if (colon == std::string_view::npos) continue;
      StyleDeclaration d;
      d.property = lower(trim(item.substr(0, colon)));
      std::string_view value = trim(item.substr(colon + 1));
      const size_t bang = value.rfind('!');
      if (bang != std::string_view::npos && lower(trim(value.substr(bang + 1))) == "important") {
        d.important = true;
        value = trim(value.substr(0, bang));
      }
      d.value = value;
      if (!d.property.empty() && !d.value.empty()) out.push_back(std::move(d));
    }
  }
  return out;
}

void StyleSheet::parse(std::string_view css) {
  parseBlock(withoutComments(css), 0);
}

void StyleSheet::parseBlock(std::string_view css, int depth) {
  size_t i = 0;
  while (i < css.size()) {
    while (i < css.size() && (isSpace(css[i]) || css[i] == ';' || css[i] == '}')) ++i;
    if (i >= css.size()) break;
    const size_t brace = css.find('{', i);
    if (css[i] == '@') {
      const size_t semicolon = css.find(';', i);
      if (brace == std::string_view::npos ||
          (semicolon != std::string_view::npos && semicolon < brace)) {
        // @import, @charset, @namespace: a statement; nothing is ever loaded.
        if (semicolon == std::string_view::npos) break;
        i = semicolon + 1;
        continue;
      }
      const size_t end = closingBrace(css, brace);
      if (end == std::string_view::npos) break;
      const std::string prelude = lower(trim(css.substr(i, brace - i)));
      const bool screenMedia =
          prelude.rfind("@media", 0) == 0 && prelude.find("not") == std::string::npos &&
          (prelude.find("screen") != std::string::npos || prelude.find("all") != std::string::npos);
      if (screenMedia && depth < kMaxNestedBlocks) {
        parseBlock(css.substr(brace + 1, end - brace - 2), depth + 1);
      }
      i = end;
      continue;
    }
    if (brace == std::string_view::npos) break;
    const size_t end = closingBrace(css, brace);
    if (end == std::string_view::npos) break;
    addRule(css.substr(i, brace - i), css.substr(brace + 1, end - brace - 2));
    i = end;
  }
}

void StyleSheet::addRule(std::string_view selectors, std::string_view body) {
  const std::vector<StyleDeclaration> declarations = parseDeclarations(body);
  if (declarations.empty()) return;
  size_t start = 0;
  for (size_t i = 0; i <= selectors.size(); ++i) {
    if (i < selectors.size() && selectors[i] != ',') continue;
    Rule rule;
    if (parseSelector(trim(selectors.substr(start, i - start)), rule.selector)) {
      rule.declarations = declarations;
      rule.order = rules_.size();
      rules_.push_back(std::move(rule));
    }
    start = i + 1;
  }
}

// False for what the reader does not match: the rule is then left out.
bool StyleSheet::parseSelector(std::string_view s, CssSelector& out) {
  if (s.empty()) return false;
  auto readName = [&](size_t& i) {
    const size_t from = i;
    while (i < s.size() && isNameChar(s[i])) ++i;
    return std::string(s.substr(from, i - from));
  };
  CssCompound current;
  bool inCompound = false;
  char pending = 0;  // combinator seen since the last compound
  int ids = 0, classes = 0, types = 0;
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (isSpace(c) || c == '>') {
      if (inCompound) {
        out.compounds.push_back(std::move(current));
        current = {};
        inCompound = false;
        pending = ' ';
      }
      if (c == '>') {
        if (out.compounds.empty()) return false;
        pending = '>';
      }
      ++i;
      continue;
    }
    if (!inCompound && !out.compounds.empty()) out.combinators.push_back(pending);
    if (c == '*') {
      if (inCompound) return false;
      ++i;
    } else if (isNameChar(c)) {
      if (inCompound) return false;
      current.type = readName(i);
      ++types;
    } else if (c == '.' || c == '#') {
      ++i;
      std::string name = readName(i);
      if (name.empty()) return false;
      if (c == '.') {
        current.classes.push_back(std::move(name));
        ++classes;
      } else {
        if (!current.id.empty() && current.id != name) return false;
        current.id = std::move(name);
        ++ids;
      }
    } else if (c == '[') {
      const size_t close = s.find(']', i);
      if (close == std::string_view::npos) return false;
      const std::string_view inside = trim(s.substr(i + 1, close - i - 1));
      const size_t eq = inside.find('=');
      std::string name(trim(inside.substr(0, eq)));
      std::string value = CssCompound::kAnyValue;
      if (eq != std::string_view::npos) {
        std::string_view v = trim(inside.substr(eq + 1));
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
          v = v.substr(1, v.size() - 2);
        }
        value = v;
      }
      if (name.empty() || !std::all_of(name.begin(), name.end(), isNameChar)) return false;
      current.attributes.emplace_back(std::move(name), std::move(value));
      ++classes;
      i = close + 1;
    } else {
      return false;  // pseudo-classes, sibling combinators, namespaces, escapes
    }
    inCompound = true;
  }
  if (!inCompound) return false;  // ends in a combinator
  out.compounds.push_back(std::move(current));
  out.specificity = ids * 10000 + classes * 100 + types;
  return true;
}

std::string StyleSheet::applyTo(xmlNode* root) const {
  // Rules by what their last compound needs, so that each element tries only
  // the rules that can match it.
  std::unordered_map<std::string, std::vector<size_t>> byId, byClass, byType;
  std::vector<size_t> universal;
  for (size_t r = 0; r < rules_.size(); ++r) {
    const CssCompound& last = rules_[r].selector.compounds.back();
    if (!last.id.empty()) {
      byId[last.id].push_back(r);
    } else if (!last.classes.empty()) {
      byClass[last.classes.front()].push_back(r);
    } else if (!last.type.empty()) {
      byType[last.type].push_back(r);
    } else {
      universal.push_back(r);
    }
  }
  // Cascade key: important, then the element's own style, then specificity,
  // then order; the greatest wins.
  using Key = std::tuple<bool, bool, int, size_t>;
  std::vector<xmlNode*> pending{root};
  int64_t elements = 0;
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    ++elements;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
  }
  // Sheets as drawing programs write them test a few compounds per element;
  // a made-up one over a small drawing stops within a fraction of a second.
  SelectorMatcher matcher(root, 4'000'000 + 16 * elements);
  pending.push_back(root);
  std::vector<size_t> candidates;
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) pending.push_back(child);
    }
    candidates = universal;
    auto addBucket = [&](const auto& map, const std::string& key) {
      const auto found = map.find(key);
      if (found != map.end())
        candidates.insert(candidates.end(), found->second.begin(), found->second.end());
    };
    bool present = false;
    const std::string id = attributeValue(node, "id", present);
    if (present) addBucket(byId, id);
    for (const std::string& c : SelectorMatcher::classesOf(node)) addBucket(byClass, c);
    addBucket(byType, reinterpret_cast<const char*>(node->name));
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    std::map<std::string, std::pair<Key, std::string>> cascade;
    auto offer = [&](const StyleDeclaration& d, const Key& key) {
      auto [it, inserted] = cascade.try_emplace(d.property, key, d.value);
      if (!inserted && it->second.first < key) it->second = {key, d.value};
    };
    bool matched = false;
    for (size_t r : candidates) {
      const Rule& rule = rules_[r];
      if (!matcher.matches(r, rule.selector, node)) {
        if (matcher.exhausted()) {
          return "the drawing's style sheet is too costly to apply: its selectors need more "
                 "than " +
                 std::to_string(matcher.budget()) + " tests for " + std::to_string(elements) +
                 " elements";
        }
        continue;
      }
      matched = true;
      for (const StyleDeclaration& d : rule.declarations) {
        offer(d, Key{d.important, false, rule.selector.specificity, rule.order});
      }
    }
    const std::string own = attributeValue(node, "style", present);
    if (!matched && own.find("marker") == std::string::npos) continue;
    size_t order = 0;
    for (const StyleDeclaration& d : parseDeclarations(own)) {
      offer(d, Key{d.important, true, 0, order++});
    }
    std::string style;
    for (const auto& [property, entry] : cascade) {
      // The marker shorthand is read as its three parts.
      if (property == "marker") {
        for (const char* part : {"marker-start", "marker-mid", "marker-end"}) {
          if (!cascade.contains(part)) style += std::string(part) + ":" + entry.second + ";";
        }
        continue;
      }
      style += property + ":" + entry.second + ";";
    }
    xmlSetProp(node, BAD_CAST "style", BAD_CAST style.c_str());
  }
  return {};
}

}  // namespace brevanto::cli
