#include "svg_survey.h"

#include <libxml/parser.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

namespace brevanto::cli {
namespace {

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";
constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";

const char* text(const xmlChar* s) {
  return reinterpret_cast<const char*>(s);
}

bool isSvgElement(const xmlNode* node) {
  return node->type == XML_ELEMENT_NODE && node->ns != nullptr &&
         std::strcmp(text(node->ns->href), kSvgNamespace) == 0;
}

// SVG elements that draw, group or only describe: none of them is reported
// as left out. Their content is walked only when it can be drawn.
const std::unordered_set<std::string>& structuralElements() {
  static const std::unordered_set<std::string> names{
      "svg",  "g",    "a",      "switch",  "defs", "symbol",   "use",
      "path", "rect", "circle", "ellipse", "line", "polyline", "polygon"};
  return names;
}
const std::unordered_set<std::string>& descriptiveElements() {
  static const std::unordered_set<std::string> names{
      "title",          "desc",          "metadata",         "style",    "script", "linearGradient",
      "radialGradient", "stop",          "pattern",          "clipPath", "mask",   "marker",
      "filter",         "font",          "font-face",        "cursor",   "view",   "animate",
      "animateColor",   "animateMotion", "animateTransform", "set",      "mpath",  "color-profile"};
  return names;
}

std::string localName(const xmlNode* node) {
  return text(node->name);
}

// "0 0 100 50" or "0,0,100,50".
std::optional<SvgSurvey::ViewBox> parseViewBox(const char* s) {
  std::array<double, 4> v{};
  for (double& value : v) {
    while (*s == ' ' || *s == ',' || *s == '\t' || *s == '\n' || *s == '\r') ++s;
    char* end = nullptr;
    value = std::strtod(s, &end);
    if (end == s) return std::nullopt;
    s = end;
  }
  if (!(v[2] > 0.0) || !(v[3] > 0.0)) return std::nullopt;
  return SvgSurvey::ViewBox{v[0], v[1], v[2], v[3]};
}

}  // namespace

bool SvgSurvey::read(std::string_view input) {
  if (input.size() > static_cast<size_t>(INT_MAX)) {
    error_ = "the file is larger than 2 GB";
    return false;
  }
  xmlInitParser();
  struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
  };
  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
  if (!ctxt) {
    error_ = "out of memory";
    return false;
  }
  // No network, no external entities, no messages of libxml2's own; depth
  // stays within libxml2's default limit, which keeps every later recursion
  // shallow.
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  doc_.reset(xmlCtxtReadMemory(ctxt.get(), input.data(), static_cast<int>(input.size()), nullptr,
                               nullptr, options));
  if (!doc_ || ctxt->wellFormed == 0) {
    const xmlError* e = xmlCtxtGetLastError(ctxt.get());
    std::string message =
        e != nullptr && e->message != nullptr ? e->message : "not well-formed XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
      message.pop_back();
    if (message.rfind("Excessive depth in document", 0) == 0) {
      message = "elements nested too deeply (more than 256 levels)";
    }
    if (input.find_first_not_of(" \t\r\n") == std::string_view::npos) message = "the file is empty";
    error_ = "not a readable XML document: " + message;
    errorLine_ = e != nullptr ? e->line : 0;
    doc_.reset();
    return false;
  }
  root_ = xmlDocGetRootElement(doc_.get());
  if (root_ == nullptr || std::strcmp(text(root_->name), "svg") != 0) {
    error_ = "not an SVG drawing: the outermost element is <" +
             std::string(root_ != nullptr ? text(root_->name) : "") + ">, not <svg>";
    errorLine_ = root_ != nullptr ? rootLine() : 0;
    return false;
  }
  if (root_->ns != nullptr && std::strcmp(text(root_->ns->href), kSvgNamespace) != 0) {
    error_ = "not an SVG drawing: the <svg> element is in another namespace";
    errorLine_ = rootLine();
    return false;
  }
  rootHasSize_ = xmlHasProp(root_, BAD_CAST "width") != nullptr ||
                 xmlHasProp(root_, BAD_CAST "height") != nullptr;
  if (xmlChar* vb = xmlGetProp(root_, BAD_CAST "viewBox")) {
    rootViewBox_ = parseViewBox(text(vb));
    xmlFree(vb);
  }
  rootHasSize_ = rootHasSize_ || rootViewBox_.has_value();
  walk();
  return true;
}

int32_t SvgSurvey::rootLine() const {
  return root_ != nullptr ? static_cast<int32_t>(xmlGetLineNo(root_)) : 0;
}

// One pass over all elements, without recursion: put namespace-less elements
// into the SVG namespace, collect ids, count what will not be cut.
void SvgSurvey::walk() {
  xmlNs* svgNs = root_->ns;
  if (svgNs == nullptr) svgNs = xmlNewNs(root_, BAD_CAST kSvgNamespace, nullptr);
  std::vector<xmlNode*> pending{root_};
  while (!pending.empty()) {
    xmlNode* node = pending.back();
    pending.pop_back();
    if (node->type != XML_ELEMENT_NODE) continue;
    if (node->ns == nullptr) xmlSetNs(node, svgNs);
    if (xmlChar* id = xmlGetProp(node, BAD_CAST "id")) {
      ids_.emplace(text(id), node);
      xmlFree(id);
    }
    bool descend = true;
    if (isSvgElement(node)) {
      const std::string name = localName(node);
      if (structuralElements().contains(name)) {
        descend = true;
      } else if (descriptiveElements().contains(name)) {
        descend = false;
      } else {
        ++skipped_[name];  // text, image, foreignObject, unknown names
        descend = false;
      }
    } else {
      descend = false;  // editors' own elements (metadata) are not drawn
    }
    if (!descend) continue;
    // Children pushed in reverse keep the walk in document order.
    std::vector<xmlNode*> children;
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) children.push_back(child);
    }
    pending.insert(pending.end(), children.rbegin(), children.rend());
  }
}

const xmlNode* SvgSurvey::referencedElement(const xmlNode* use) const {
  xmlChar* href = xmlGetNsProp(use, BAD_CAST "href", BAD_CAST kXlinkNamespace);
  if (href == nullptr) href = xmlGetNoNsProp(use, BAD_CAST "href");
  if (href == nullptr) return nullptr;
  const std::string reference = text(href);
  xmlFree(href);
  if (reference.size() < 2 || reference[0] != '#') return nullptr;
  const auto found = ids_.find(reference.substr(1));
  return found != ids_.end() ? found->second : nullptr;
}

}  // namespace brevanto::cli
