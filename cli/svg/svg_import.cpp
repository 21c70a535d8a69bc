// SVG import: libxml2 reads the XML (svg_survey), SVG++ interprets the SVG
// (path data, basic shapes, transforms, viewports, units, paint) and the
// element contexts turn what it reports into millimetre outlines with shape
// numbers and colours; this file runs the whole and measures the outcome.
#include "svg_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "document_traversal.h"
#include "text/text_layout.h"

namespace brevanto::cli {

int32_t ImportResult::skippedCount() const {
  int32_t n = 0;
  for (const auto& [name, count] : skippedElements) n += count;
  return n;
}

int32_t ImportResult::leftOutCount() const {
  int32_t n = 0;
  for (const LeftOut& l : leftOut) n += l.count;
  return n;
}

namespace {

void flipAboutPage(ImportResult& result) {
  double height = result.pageHeightMm;
  if (height <= 0.0) {  // no page size: the drawing's lowest point goes to y = 0
    height = 0.0;
    bool first = true;
    for (const Segment& s : result.segments) {
      for (double y : {s.y0, s.y1, s.y2, s.y3}) {
        if (first || y > height) height = y;
        first = false;
      }
    }
  }
  for (Segment& s : result.segments) {
    s.y0 = height - s.y0;
    s.y3 = height - s.y3;
    if (s.kind == 1) {
      s.y1 = height - s.y1;
      s.y2 = height - s.y2;
    }
  }
}

void measureBounds(ImportResult& result) {
  bool first = true;
  auto add = [&](double x, double y) {
    if (first) {
      result.minXMm = result.maxXMm = x;
      result.minYMm = result.maxYMm = y;
      first = false;
    }
    result.minXMm = std::min(result.minXMm, x);
    result.maxXMm = std::max(result.maxXMm, x);
    result.minYMm = std::min(result.minYMm, y);
    result.maxYMm = std::max(result.maxYMm, y);
  };
  for (const Segment& s : result.segments) {
    add(s.x0, s.y0);
    add(s.x3, s.y3);
    if (s.kind == 1) {
      add(s.x1, s.y1);
      add(s.x2, s.y2);
    }
  }
}

// The survey's left-out elements and the interpretation's, in one list.
void collectLeftOut(const SvgSurvey& survey, ImportState& state) {
  for (const auto& [name, skipped] : survey.skippedElements()) {
    const LeftOutKind kind = name == "textPath" ? LeftOutKind::Text
                             : name == "image"  ? LeftOutKind::Images
                                                : LeftOutKind::OtherElements;
    LeftOut& entry = state.leftOut[kind];
    if (entry.count == 0 || skipped.firstLine < entry.firstLine)
      entry.firstLine = skipped.firstLine;
    entry.count += skipped.count;
    state.result.skippedElements[name] = skipped.count;
  }
  static constexpr const char* kNames[] = {"text",
                                           "images",
                                           "other elements",
                                           "invisible shapes",
                                           "clipped-away pieces",
                                           "unusable elements"};
  for (const auto& [kind, entry] : state.leftOut) {
    LeftOut out = entry;
    out.kind = kNames[static_cast<int>(kind)];
    state.result.leftOut.push_back(out);
  }
}

// Inkscape drew 90 pixels to the inch before 0.92 and 96 since: its version
// ("0.91 r13725") on the root says which.
std::string oldInkscapeVersion(const xmlNode* root) {
  if (root == nullptr) return {};
  xmlChar* value =
      xmlGetNsProp(root, reinterpret_cast<const xmlChar*>("version"),
                   reinterpret_cast<const xmlChar*>("http://www.inkscape.org/namespaces/inkscape"));
  if (value == nullptr) return {};
  const std::string version(reinterpret_cast<const char*>(value));
  xmlFree(value);
  unsigned major = 0, minor = 0;
  if (std::sscanf(version.c_str(), "%u.%u", &major, &minor) != 2) return {};
  return major == 0 && minor < 92 ? version : std::string();
}

void importDocument(std::string_view text, const ImportOptions& options,
                    std::shared_ptr<const HersheyFont> hersheyFont, ImportResult& result) {
  SvgSurvey survey;
  if (!survey.read(text)) {
    result.error = survey.error();
    result.errorLine = survey.errorLine();
    return;
  }
  result.hasPhysicalUnits = survey.rootHasPhysicalUnits();
  result.oldInkscapeVersion = oldInkscapeVersion(survey.root());
  if (survey.expandedElementCount(ImportState::kMaxElements + 1) > ImportState::kMaxElements) {
    result.error = "the drawing has more than " + std::to_string(ImportState::kMaxElements) +
                   " elements once its use references are expanded";
    result.errorLine = survey.rootLine();
    return;
  }

  TextFonts textFonts;
  textFonts.hershey = std::move(hersheyFont);
  ImportState state{result, survey, 25.4 / 96.0, {}, 1, 0, 0, 0, 0, {}, {}, {}, {}, &textFonts};
  if (!(options.dpi > 0.0) || !std::isfinite(options.dpi)) {
    result.error = "the pixel density must be a positive number";
    return;
  }
  state.mmPerPx = 25.4 / options.dpi;
  // Physical units (mm, in...) keep their size whatever the density.
  state.lengthFactory.set_absolute_units_coefficient(options.dpi, tag::length_units::in());
  // Percentages of an outermost svg without a size refer to its viewBox.
  if (const auto viewBox = survey.rootViewBox()) {
    state.lengthFactory.set_viewport_size(viewBox->width, viewBox->height);
  }
  try {
    ElementContext root(state, survey.root());
    if (!DocumentTraversal::load_document(survey.root(), root)) {
      if (result.error.empty()) result.error = "the drawing could not be read";
      return;
    }
    root.on_exit_element();
  } catch (const ImportStopped&) {
    return;
  }
  if (!survey.rootHasSize()) result.pageWidthMm = result.pageHeightMm = 0.0;
  if (std::fabs(result.pageHeightMm) > OutlineBuilder::kMaxCoordinateMm ||
      !std::isfinite(result.pageHeightMm) || !std::isfinite(result.pageWidthMm)) {
    result.error = "the page size is out of range";
    result.errorLine = survey.rootLine();
    return;
  }
  if (options.flipY) flipAboutPage(result);
  measureBounds(result);
  collectLeftOut(survey, state);
}

}  // namespace

ImportResult importSvg(std::string_view text, const ImportOptions& options,
                       std::shared_ptr<const HersheyFont> hersheyFont) {
  ImportResult result;
  try {
    importDocument(text, options, std::move(hersheyFont), result);
  } catch (const std::bad_alloc&) {
    result.error = "out of memory";
  } catch (const std::exception& e) {
    result.error = e.what();
  } catch (...) {
    result.error = "unexpected failure while reading the drawing";
  }
  if (!result.ok()) {
    result.segments.clear();
    result.shapes = 0;
  }
  return result;
}

std::vector<std::string> describeImport(const ImportResult& result, const ImportOptions& options) {
  std::vector<std::string> lines;
  if (!result.leftOut.empty()) {
    std::string line = "left out:";
    for (const LeftOut& l : result.leftOut) {
      line += (line.back() == ':' ? " " : ", ") + l.kind + " " + std::to_string(l.count) +
              " (first at line " + std::to_string(l.firstLine) + ")";
    }
    lines.push_back(line);
  }
  if (result.outsidePage.count > 0) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "%d element(s) reach beyond the page (%.2f x %.2f mm), the first at line %d: "
                  "only what lies on the page is cut, as a renderer shows it",
                  result.outsidePage.count, result.pageWidthMm, result.pageHeightMm,
                  result.outsidePage.firstLine);
    lines.emplace_back(text);
  }
  if (!result.segments.empty()) {
    char text[200];
    std::snprintf(text, sizeof text, "extent: %.2f x %.2f mm (x %.2f to %.2f, y %.2f to %.2f)",
                  result.maxXMm - result.minXMm, result.maxYMm - result.minYMm, result.minXMm,
                  result.maxXMm, result.minYMm, result.maxYMm);
    lines.emplace_back(text);
  }
  if (const std::string note = oldPixelScaleNote(result, options); !note.empty()) {
    lines.push_back(note);
  } else if (!result.hasPhysicalUnits) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "the drawing gives no physical size: taken at %g pixels per inch (--dpi); check "
                  "the extent",
                  options.dpi);
    lines.emplace_back(text);
  }
  return lines;
}

}  // namespace brevanto::cli

namespace brevanto::cli {

std::string oldPixelScaleNote(const ImportResult& result, const ImportOptions& options) {
  if (result.oldInkscapeVersion.empty() || result.hasPhysicalUnits || options.dpiGiven) return {};
  return "saved by Inkscape " + result.oldInkscapeVersion +
         " (before 0.92) in pixels, which it drew at 90 per inch: taken at 96, the part comes "
         "out 6.25 % small; give --dpi 90 for the size it was drawn at (or --dpi 96 to keep "
         "this one)";
}

}  // namespace brevanto::cli
