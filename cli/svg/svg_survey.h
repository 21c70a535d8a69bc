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
class SvgSurvey {
 public:
  struct ViewBox {
    double x, y, width, height;
  };

  // Parses the text; false (with error() and errorLine()) when it is not a
  // well-formed SVG document.
  bool read(std::string_view text);

  [[nodiscard]] xmlNode* root() const { return root_; }
  [[nodiscard]] int32_t rootLine() const;
  [[nodiscard]] bool rootHasSize() const { return rootHasSize_; }
  [[nodiscard]] std::optional<ViewBox> rootViewBox() const { return rootViewBox_; }
  [[nodiscard]] const std::map<std::string, int32_t>& skippedElements() const { return skipped_; }
  // The element a `use` refers to by "#id" (href or xlink:href), or null.
  [[nodiscard]] const xmlNode* referencedElement(const xmlNode* use) const;

  [[nodiscard]] const std::string& error() const { return error_; }
  [[nodiscard]] int32_t errorLine() const { return errorLine_; }

 private:
  struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
  };
  void walk();

  std::unique_ptr<xmlDoc, DocFree> doc_;
  xmlNode* root_ = nullptr;
  bool rootHasSize_ = false;
  std::optional<ViewBox> rootViewBox_;
  std::unordered_map<std::string, const xmlNode*> ids_;
  std::map<std::string, int32_t> skipped_;
  std::string error_;
  int32_t errorLine_ = 0;
};

}  // namespace brevanto::cli
