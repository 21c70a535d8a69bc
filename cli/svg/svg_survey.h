#pragma once

#include <libxml/tree.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace brevanto::cli {

// The parsed XML of a drawing and what is known before it is interpreted:
// the root element, the ids that `use` can refer to, and the elements that
// will not be cut. Elements written without a namespace are taken as SVG.
// Before the drawing is interpreted, the survey settles what drawing
// programs write loosely: internal entities are expanded (nothing external
// is ever loaded), <style> sheets are folded into the elements they style,
// empty attributes count as missing and numbers run together are separated.
class SvgSurvey {
 public:
  struct ViewBox {
    double x, y, width, height;
  };
  // Elements of one name that are not cut: how many, and the first one's line.
  struct Skipped {
    int32_t count = 0;
    int32_t firstLine = 0;
  };

  // How many elements the drawing has once every `use` is replaced by what it
  // refers to, counted without expanding anything (each element's count is
  // worked out once), and capped at `cap`: a few kilobytes of nested `use`
  // can stand for billions of elements, refused before any is visited.
  [[nodiscard]] int64_t expandedElementCount(int64_t cap) const;

  // Parses the text; false (with error() and errorLine()) when it is not a
  // well-formed SVG document.
  bool read(std::string_view text);

  [[nodiscard]] xmlNode* root() const { return root_; }
  [[nodiscard]] int32_t rootLine() const;
  [[nodiscard]] bool rootHasSize() const { return rootHasSize_; }
  [[nodiscard]] std::optional<ViewBox> rootViewBox() const { return rootViewBox_; }
  [[nodiscard]] const std::map<std::string, Skipped>& skippedElements() const { return skipped_; }
  // True when the outermost svg gives its width or height in mm, cm, in, pt
  // or pc, so that the drawing's size does not depend on a pixel density.
  [[nodiscard]] bool rootHasPhysicalUnits() const { return rootHasPhysicalUnits_; }
  // The element a `use` refers to by "#id" (href or xlink:href), or null.
  [[nodiscard]] const xmlNode* referencedElement(const xmlNode* use) const;
  // The element with this id, or null.
  [[nodiscard]] const xmlNode* elementById(const std::string& id) const;

  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] int32_t errorLine() const { return errorLine_; }

 private:
  struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  bool walk();
  void tidyAttributes(xmlNode* node);
  void completeRootSize();

  std::unique_ptr<xmlDoc, DocFree> doc_;
  xmlNode* root_ = nullptr;
  bool rootHasSize_ = false;
  bool rootHasPhysicalUnits_ = false;
  std::optional<ViewBox> rootViewBox_;
  std::unordered_map<std::string, const xmlNode*> ids_;
  std::map<std::string, Skipped> skipped_;
  std::string error_;
  int32_t errorLine_ = 0;
};

}  // namespace brevanto::cli
