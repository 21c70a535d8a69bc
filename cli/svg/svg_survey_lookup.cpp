// Looking elements up in a surveyed drawing: by id, through a `use`, and
// the count of elements a drawing stands for once every `use` is expanded.
#include <algorithm>
#include <functional>
#include <string>
#include <unordered_map>

#include "svg_survey.h"

namespace brevanto::cli {
namespace {

constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";

}  // namespace

const xmlNode* SvgSurvey::referencedElement(const xmlNode* use) const {
  xmlChar* href = xmlGetNsProp(use, BAD_CAST "href", BAD_CAST kXlinkNamespace);
  if (href == nullptr) href = xmlGetNoNsProp(use, BAD_CAST "href");
  if (href == nullptr) return nullptr;
  const std::string reference = reinterpret_cast<const char*>(href);
  xmlFree(href);
  if (reference.size() < 2 || reference[0] != '#') return nullptr;
  return elementById(reference.substr(1));
}

const xmlNode* SvgSurvey::elementById(const std::string& id) const {
  const auto found = ids_.find(id);
  return found != ids_.end() ? found->second : nullptr;
}

int64_t SvgSurvey::expandedElementCount(int64_t cap) const {
  // Counts of the elements whose count is known, and those on the way (a
  // reference back to one of those is a cycle, which counts as nothing here:
  // the traversal refuses it on its own).
  std::unordered_map<const xmlNode*, int64_t> known;
  const std::function<int64_t(const xmlNode*, int)> count = [&](const xmlNode* node,
                                                                int depth) -> int64_t {
    if (const auto found = known.find(node); found != known.end()) return found->second;
    if (depth > 4096) return 0;  // libxml2 already refuses deeper documents
    known.emplace(node, 0);
    int64_t total = 1;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) total = std::min(cap, total + count(child, depth + 1));
    }
    if (xmlStrEqual(node->name, BAD_CAST "use")) {
      if (const xmlNode* target = referencedElement(node)) {
        total = std::min(cap, total + count(target, depth + 1));
      }
    }
    known[node] = total;
    return total;
  };
  return root_ == nullptr ? 0 : count(root_, 0);
}

}  // namespace brevanto::cli
