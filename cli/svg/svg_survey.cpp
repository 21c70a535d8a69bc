#include "svg_survey.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "number_lists.h"
#include "style_sheet.h"

namespace brevanto::cli {
namespace {

// Every later walk of the tree recurses, so its depth is bounded here (as
// libxml2 bounds it outside its huge mode).
constexpr int kDeepestNesting = 256;

// The first element deeper than `most` levels below `root`, found without
// recursion; null when there is none.
const xmlNode* deeperThan(const xmlNode* root, int most) {
  const xmlNode* node = root;
  int depth = 0;
  while (node != nullptr) {
    if (node->type == XML_ELEMENT_NODE && depth > most) return node;
    if (node->children != nullptr) {
      node = node->children;
      ++depth;
      continue;
    }
    while (node != nullptr && node != root && node->next == nullptr) {
      node = node->parent;
      --depth;
    }
    node = (node == nullptr || node == root) ? nullptr : node->next;
  }
  return nullptr;
}

constexpr const char* kSvgNamespace = "http://www.w3.org/2000/svg";

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
      "svg",  "g",      "a",       "switch", "defs",     "symbol",  "use",  "path",
      "rect", "circle", "ellipse", "line",   "polyline", "polygon", "text", "tspan"};
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

// Entities are expanded, but one that names a file or an address is never
// loaded: the reader refuses it, whatever the drawing asks for. libxml2 asks
// this loader for every external resource, so nothing bypasses it.
thread_local std::string refusedResource;
bool refusedAny = false;

xmlParserInputPtr refuseExternal(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  refusedAny = true;
  if (refusedResource.empty()) {
    refusedResource = url != nullptr ? url : (id != nullptr ? id : "?");
  }
  if (ctxt != nullptr) xmlStopParser(ctxt);
  return nullptr;
}

// A drawing read in libxml2's huge mode, which lifts its guards against
// entity expansion, must declare no entity: the first declaration stops it.
thread_local bool declaredEntity = false;

void stopAtEntity(void* context, const xmlChar*, int, const xmlChar*, const xmlChar*, xmlChar*) {
  declaredEntity = true;
  xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

// Attributes holding lists of plain numbers, where numbers run together are
// separated before they are read.
bool holdsNumberList(const xmlChar* name) {
  for (const char* n :
       {"transform", "points", "viewBox", "gradientTransform", "patternTransform"}) {
    if (xmlStrEqual(name, BAD_CAST n) != 0) return true;
  }
  return false;
}

bool blank(const char* s) {
  for (; *s != 0; ++s) {
    if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r') return false;
  }
  return true;
}

// A width or height in a physical unit: the drawing says how large it is.
bool physicalLength(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
  if (value == nullptr) return false;
  std::string v = text(value);
  xmlFree(value);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.pop_back();
  if (v.size() < 2) return false;
  const std::string unit = v.substr(v.size() - 2);
  return unit == "mm" || unit == "cm" || unit == "in" || unit == "pt" || unit == "pc";
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

// The text of a <style> element for screens, in CSS.
void readStyle(const xmlNode* node, StyleSheet& sheet) {
  for (const char* attribute : {"type", "media"}) {
    xmlChar* value = xmlGetNoNsProp(node, BAD_CAST attribute);
    if (value == nullptr) continue;
    const std::string v = text(value);
    xmlFree(value);
    const bool usable = attribute[0] == 't' ? (v.empty() || v == "text/css")
                                            : (v.empty() || v.find("screen") != std::string::npos ||
                                               v.find("all") != std::string::npos);
    if (!usable) return;
  }
  xmlChar* css = xmlNodeGetContent(node);
  if (css == nullptr) return;
  sheet.parse(text(css));
  xmlFree(css);
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
  std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt;
  // Internal entities are expanded (drawing programs declare pieces of
  // markup as entities); external ones are refused by the loader above, and
  // no external DTD is read. No network, no messages of libxml2's own; depth
  // stays within libxml2's default limit, which keeps every later recursion
  // shallow, and libxml2's own limits stop entity expansion from exploding.
  // A drawing larger than libxml2's 10 MB lookup limit needs XML_PARSE_HUGE,
  // which also lifts its guards against entities that expand a billionfold
  // and against deep nesting. Only large drawings that declare no entities
  // get it (drawings with entities are small ones written by hand or by old
  // editors), and the nesting is checked below whatever the mode. Whether a
  // drawing declares entities is known for certain only once its text is
  // decoded (UTF-16 or a declared encoding hides "<!ENTITY" from a byte
  // search): a large drawing read in the huge mode that turns out to declare
  // one is read again with libxml2's guards.
  constexpr size_t kLookupLimit = 10000000;
  bool huge = input.size() > kLookupLimit / 2 && input.find("<!ENTITY") == std::string_view::npos;
  const xmlExternalEntityLoader previousLoader = xmlGetExternalEntityLoader();
  xmlSetExternalEntityLoader(refuseExternal);
  for (;;) {
    const int options = XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR |
                        XML_PARSE_NOWARNING | (huge ? XML_PARSE_HUGE : 0);
    // A fresh context each time: one keeps the huge mode once it had it.
    doc_.reset();
    ctxt.reset(xmlNewParserCtxt());
    if (!ctxt) break;
    ctxt->sax->entityDecl = huge ? stopAtEntity : xmlSAX2EntityDecl;
    refusedResource.clear();
    refusedAny = false;
    declaredEntity = false;
    doc_.reset(xmlCtxtReadMemory(ctxt.get(), input.data(), static_cast<int>(input.size()), nullptr,
                                 nullptr, options));
    if (!huge || !declaredEntity) break;
    huge = false;
  }
  xmlSetExternalEntityLoader(previousLoader);
  if (!ctxt) {
    error_ = "out of memory";
    return false;
  }
  if (refusedAny) {
    error_ = "the drawing refers to an external resource (\"" + refusedResource +
             "\"), which is never loaded";
    errorLine_ = ctxt->input != nullptr ? ctxt->input->line : 0;
    doc_.reset();
    return false;
  }
  if (!doc_ || ctxt->wellFormed == 0) {
    const xmlError* e = xmlCtxtGetLastError(ctxt.get());
    std::string message =
        e != nullptr && e->message != nullptr ? e->message : "not well-formed XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
      message.pop_back();
    if (message.rfind("Excessive depth in document", 0) == 0) {
      message = "elements nested too deeply (more than 256 levels)";
    }
    if (message.find("entity reference loop") != std::string::npos ||
        message.find("amplification") != std::string::npos) {
      message =
          "its entities expand too far (libxml2's limit on entity expansion: " + message + ")";
    }
    if (input.find_first_not_of(" \t\r\n") == std::string_view::npos) message = "the file is empty";
    error_ = "not a readable XML document: " + message;
    errorLine_ = e != nullptr ? e->line : 0;
    doc_.reset();
    return false;
  }
  root_ = xmlDocGetRootElement(doc_.get());
  if (const xmlNode* deep = deeperThan(root_, kDeepestNesting)) {
    error_ = "not a readable XML document: elements nested too deeply (more than " +
             std::to_string(kDeepestNesting) + " levels)";
    errorLine_ = static_cast<int32_t>(xmlGetLineNo(deep));
    doc_.reset();
    root_ = nullptr;
    return false;
  }
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
  if (!walk()) {
    doc_.reset();
    root_ = nullptr;
    return false;
  }
  rootHasSize_ = xmlHasProp(root_, BAD_CAST "width") != nullptr ||
                 xmlHasProp(root_, BAD_CAST "height") != nullptr;
  rootHasPhysicalUnits_ = physicalLength(root_, "width") || physicalLength(root_, "height");
  if (xmlChar* vb = xmlGetProp(root_, BAD_CAST "viewBox")) {
    rootViewBox_ = parseViewBox(text(vb));
    xmlFree(vb);
  }
  completeRootSize();
  rootHasSize_ = rootHasSize_ || rootViewBox_.has_value();
  return true;
}

// A drawing that gives only its width (or only its height) and a viewBox
// has the other from the viewBox's proportions, as a renderer sizes it.
void SvgSurvey::completeRootSize() {
  if (!rootViewBox_) return;
  const bool hasWidth = xmlHasProp(root_, BAD_CAST "width") != nullptr;
  const bool hasHeight = xmlHasProp(root_, BAD_CAST "height") != nullptr;
  if (hasWidth == hasHeight) return;
  const char* given = hasWidth ? "width" : "height";
  xmlChar* value = xmlGetNoNsProp(root_, BAD_CAST given);
  const std::string length = text(value);
  xmlFree(value);
  char* end = nullptr;
  const double number = std::strtod(length.c_str(), &end);
  if (end == length.c_str() || !std::isfinite(number) || std::strchr(end, '%') != nullptr) return;
  const double ratio = hasWidth ? rootViewBox_->height / rootViewBox_->width
                                : rootViewBox_->width / rootViewBox_->height;
  char other[64];
  std::snprintf(other, sizeof other, "%.17g", number * ratio);
  xmlSetProp(root_, BAD_CAST(hasWidth ? "height" : "width"),
             BAD_CAST(std::string(other) + end).c_str());
}

int32_t SvgSurvey::rootLine() const {
  return root_ != nullptr ? static_cast<int32_t>(xmlGetLineNo(root_)) : 0;
}

// Empty attributes count as missing, as in a renderer; numbers run together
// in lists are separated.
void SvgSurvey::tidyAttributes(xmlNode* node) {
  for (xmlAttr* a = node->properties; a != nullptr;) {
    xmlAttr* next = a->next;
    xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(a));
    if (value != nullptr) {
      if (blank(text(value)) && xmlStrEqual(a->name, BAD_CAST "d") == 0) {
        xmlRemoveProp(a);
      } else if (a->ns == nullptr && holdsNumberList(a->name)) {
        const std::string separated = separateNumbers(text(value));
        if (separated != text(value)) xmlSetProp(node, a->name, BAD_CAST separated.c_str());
      }
      xmlFree(value);
    }
    a = next;
  }
}

// One pass over all elements, without recursion: put namespace-less elements
// into the SVG namespace, tidy attributes, collect ids (also inside clip
// paths and markers, which `use` may draw from), read style sheets, and
// count what will not be cut where the drawing is drawn.
bool SvgSurvey::walk() {
  xmlNs* svgNs = root_->ns;
  if (svgNs == nullptr) svgNs = xmlNewNs(root_, BAD_CAST kSvgNamespace, nullptr);
  StyleSheet sheet;
  struct Pending {
    xmlNode* node;
    bool drawn;  // in the part of the drawing that is drawn where it stands
  };
  std::vector<Pending> pending{{root_, true}};
  std::vector<xmlNode*> children;
  while (!pending.empty()) {
    const auto [node, drawn] = pending.back();
    pending.pop_back();
    if (node->ns == nullptr) xmlSetNs(node, svgNs);
    tidyAttributes(node);
    if (xmlChar* id = xmlGetProp(node, BAD_CAST "id")) {
      ids_.emplace(text(id), node);
      xmlFree(id);
    }
    bool descend = false;
    bool drawnBelow = drawn;
    if (isSvgElement(node)) {
      const std::string name = localName(node);
      if (structuralElements().contains(name)) {
        descend = true;
        drawnBelow = drawn;
      } else if (descriptiveElements().contains(name)) {
        descend = name == "clipPath" || name == "marker" || name == "mask" || name == "pattern";
        drawnBelow = false;
        if (name == "style") readStyle(node, sheet);
      } else if (drawn) {
        Skipped& s = skipped_[name];  // text, image, foreignObject, unknown names
        if (s.count++ == 0) s.firstLine = static_cast<int32_t>(xmlGetLineNo(node));
      }
    }
    if (!descend) continue;
    // Children pushed in reverse keep the walk in document order.
    children.clear();
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) children.push_back(child);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      pending.push_back({*it, drawnBelow});
    }
  }
  error_ = sheet.applyTo(root_);
  errorLine_ = error_.empty() ? 0 : rootLine();
  return error_.empty();
}

}  // namespace brevanto::cli
