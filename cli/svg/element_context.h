#pragma once

// How the SVG reader (SVG++) reports a drawing, element by element: each
// element gets an ElementContext built from its parent's, which collects
// transforms, paint, visibility and path data and turns them into millimetre
// outlines when the element ends.
#include <libxml/tree.h>

#include <array>
#include <boost/array.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_set>
#include <vector>

// SVG++ and Boost are third-party headers; their own warnings are not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define BOOST_PARAMETER_MAX_ARITY 15  // the traversal takes more than the default 8 options
#include <svgpp/policy/xml/libxml2.hpp>
#include <svgpp/svgpp.hpp>
#pragma GCC diagnostic pop

#include "affine.h"
#include "clip_region.h"
#include "outline_builder.h"
#include "path_commands.h"
#include "svg_import.h"
#include "svg_survey.h"
#include "text/text_style.h"

namespace brevanto::cli {

namespace tag = svgpp::tag;
using LengthFactory = svgpp::factory::length::unitless<>;

// Stops the traversal; the message is already recorded.
struct ImportStopped {};

struct TextFonts;

enum class PaintKind { None, Colour, CurrentColour };
struct Paint {
  PaintKind kind = PaintKind::None;
  int32_t rgb = 0;  // red + 256·green + 65536·blue
};

// SVG++ packs colours as 0xRRGGBB; the segments carry red in the low byte.
inline int32_t fromPacked(int packed) {
  const int32_t r = (packed >> 16) & 0xFF;
  const int32_t g = (packed >> 8) & 0xFF;
  const int32_t b = packed & 0xFF;
  return r + 256 * g + 65536 * b;
}

// Whether the element has this (local) name.
inline bool named(const xmlNode* node, const char* name) {
  return xmlStrEqual(node->name, BAD_CAST name) != 0;
}

// The element's attribute of this name without a namespace; empty when absent.
inline std::string attributeText(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
  if (value == nullptr) return {};
  std::string s(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return s;
}

// Kinds of content that are left out, in the order the summary lists them.
enum class LeftOutKind { Text, Images, OtherElements, InvisibleShapes, ClippedAway, Unusable };

// What the whole import shares: the outcome, the lookup of ids for `use`,
// the length conversion and the limits.
struct ImportState {
  static constexpr int32_t kMaxUseNesting = 64;
  static constexpr int64_t kMaxElements = 10'000'000;  // also bounds what `use` can multiply
  // Segments made, counted as each element's outline is made: what use,
  // markers and clip paths repeat counts each time, and the drawing stops
  // at once past the limit (2 million segments are 160 MB of records).
  static constexpr int64_t kMaxSegments = 2'000'000;
  // Markers drawn, those within markers included: each is a small drawing
  // of its own, and markers of empty paths make no segments.
  static constexpr int64_t kMaxMarkers = 250'000;

  ImportResult& result;
  const SvgSurvey& survey;
  double mmPerPx = 25.4 / 96.0;  // user units of the outermost svg to millimetres
  LengthFactory lengthFactory;
  int32_t nextShapeKey = 1;
  int32_t useNesting = 0;
  int64_t elements = 0;
  int64_t segmentsMade = 0;
  int64_t markersDrawn = 0;
  std::unordered_set<const xmlNode*> useChain;  // `use`, clip paths and markers being expanded
  std::map<LeftOutKind, LeftOut> leftOut;
  std::shared_ptr<const ClipRegion> page;  // the outermost viewport, in mm; null when unknown
  // Clip paths and masks already read, by what their area depends on: the
  // element, the map of its content to millimetres, the size percentages
  // refer to, and whether the element using it is transparent.
  using ClipKey = std::tuple<const xmlNode*, Affine, double, double, bool>;
  std::map<ClipKey, std::shared_ptr<const ClipRegion>> clipRegions;
  TextFonts* textFonts = nullptr;  // the fonts of the drawing's texts

  void fail(const std::string& message, const xmlNode* node);
  void warn(const std::string& message, const xmlNode* node);
  void leaveOut(LeftOutKind kind, const xmlNode* node);
  void countSegments(size_t made, const xmlNode* node);
};

class ElementContext {
 public:
  using length_factory_type = LengthFactory;

  // The outermost element: pixels of the page to millimetres.
  ElementContext(ImportState& state, xmlNode* node);
  // A child inherits the map to millimetres, the paint and the clip.
  ElementContext(ElementContext& parent, xmlNode* const& node);
  ElementContext(const ElementContext&) = delete;
  ElementContext& operator=(const ElementContext&) = delete;

  length_factory_type& length_factory() { return lengthFactory_; }
  [[nodiscard]] bool hidden() const { return hidden_; }
  [[nodiscard]] const xmlNode* node() const { return node_; }
  ImportState& state() { return state_; }

  // Transforms, viewports.
  void transform_matrix(const boost::array<double, 6>& m) {
    toMm_ = toMm_.after(Affine{m[0], m[1], m[2], m[3], m[4], m[5]});
  }
  void transform_translate(double tx, double ty) {
    toMm_ = toMm_.after(Affine::translation(tx, ty));
  }
  void transform_scale(double sx, double sy) { toMm_ = toMm_.after(Affine::scaling(sx, sy)); }
  void set_viewport(double x, double y, double width, double height);
  void set_viewbox_size(double width, double height);
  // A symbol (or svg) drawn by `use` takes its viewport from the use's size.
  void get_reference_viewport_size(double& width, double& height) const {
    if (referenceWidth_ > 0.0) width = referenceWidth_;
    if (referenceHeight_ > 0.0) height = referenceHeight_;
  }
  void disable_rendering() { hidden_ = true; }
  // Already counted among the unusable elements: drawn nothing, and not
  // counted again as invisible.
  void leaveOutUnusable() { hidden_ = unusable_ = true; }

  // Paint: stroke, else fill, else black.
  void set(tag::attribute::stroke, tag::value::none) { stroke_ = {PaintKind::None, 0}; }
  void set(tag::attribute::stroke, tag::value::currentColor) {
    stroke_ = {PaintKind::CurrentColour, 0};
  }
  void set(tag::attribute::stroke, int packed) {
    stroke_ = {PaintKind::Colour, fromPacked(packed)};
  }
  template <class Icc>
  void set(tag::attribute::stroke, int packed, const Icc&) {
    set(tag::attribute::stroke(), packed);
  }
  template <class Iri, class... Fallback>
  void set(tag::attribute::stroke, const Iri&, const Fallback&... fallback) {
    stroke_ = paintServerFallback(fallback...);
  }
  void set(tag::attribute::fill, tag::value::none) { fill_ = {PaintKind::None, 0}; }
  void set(tag::attribute::fill, tag::value::currentColor) {
    fill_ = {PaintKind::CurrentColour, 0};
  }
  void set(tag::attribute::fill, int packed) { fill_ = {PaintKind::Colour, fromPacked(packed)}; }
  template <class Icc>
  void set(tag::attribute::fill, int packed, const Icc&) {
    set(tag::attribute::fill(), packed);
  }
  template <class Iri, class... Fallback>
  void set(tag::attribute::fill, const Iri&, const Fallback&... fallback) {
    fill_ = paintServerFallback(fallback...);
  }
  void set(tag::attribute::color, int packed) { colour_ = fromPacked(packed); }
  template <class Icc>
  void set(tag::attribute::color, int packed, const Icc&) {
    colour_ = fromPacked(packed);
  }
  void set(tag::attribute::display, tag::value::none) { hidden_ = true; }
  template <class Value>
  void set(tag::attribute::display, Value) {}
  void set(tag::attribute::visibility, tag::value::visible) { invisible_ = false; }
  template <class Value>
  void set(tag::attribute::visibility, Value) {
    invisible_ = true;  // hidden, collapse
  }
  // What makes a shape show nothing: opacity 0 (on it or a group around it),
  // a paint that is none or fully transparent, a stroke of width 0.
  void set(tag::attribute::opacity, double v) {
    if (!(v > 0.0)) transparent_ = true;
  }
  void set(tag::attribute::fill_opacity, double v) { fillOpacity_ = v; }
  void set(tag::attribute::stroke_opacity, double v) { strokeOpacity_ = v; }
  void set(tag::attribute::stroke_width, double v) { strokeWidth_ = v; }
  template <class Value>
  void set(tag::attribute::opacity, Value) {}
  template <class Value>
  void set(tag::attribute::fill_opacity, Value) {}
  template <class Value>
  void set(tag::attribute::stroke_opacity, Value) {}
  // Clip paths, masks and markers, by id within the drawing.
  void set(tag::attribute::clip_path, tag::value::none) { clipRef_.clear(); }
  void set(tag::attribute::clip_path, tag::value::inherit) {}
  void set(tag::attribute::marker_start, tag::value::inherit) {}  // kept from the parent
  void set(tag::attribute::marker_mid, tag::value::inherit) {}
  void set(tag::attribute::marker_end, tag::value::inherit) {}
  template <class Iri>
  void set(tag::attribute::clip_path, const Iri& iri) {
    clipRef_ = reference(iri);
  }
  void set(tag::attribute::mask, tag::value::none) { maskRef_.clear(); }
  void set(tag::attribute::mask, tag::value::inherit) {}
  template <class Iri>
  void set(tag::attribute::mask, const Iri& iri) {
    maskRef_ = reference(iri);
  }
  void set(tag::attribute::fill_rule, tag::value::evenodd) { fillEvenOdd_ = true; }
  void set(tag::attribute::fill_rule, tag::value::nonzero) { fillEvenOdd_ = false; }
  template <class Value>
  void set(tag::attribute::fill_rule, Value) {}
  void set(tag::attribute::clip_rule, tag::value::evenodd) { clipEvenOdd_ = true; }
  void set(tag::attribute::clip_rule, tag::value::nonzero) { clipEvenOdd_ = false; }
  template <class Value>
  void set(tag::attribute::clip_rule, Value) {}
  void set(tag::attribute::marker_start, tag::value::none) { markers_[0].clear(); }
  void set(tag::attribute::marker_mid, tag::value::none) { markers_[1].clear(); }
  void set(tag::attribute::marker_end, tag::value::none) { markers_[2].clear(); }
  template <class Iri>
  void set(tag::attribute::marker_start, const Iri& iri) {
    markers_[0] = reference(iri);
  }
  template <class Iri>
  void set(tag::attribute::marker_mid, const Iri& iri) {
    markers_[1] = reference(iri);
  }
  template <class Iri>
  void set(tag::attribute::marker_end, const Iri& iri) {
    markers_[2] = reference(iri);
  }

  // `use`: position, size; the reference is read from the element itself so
  // that both href and xlink:href work.
  void set(tag::attribute::x, double v) { useX_ = v; }
  void set(tag::attribute::y, double v) { useY_ = v; }
  void set(tag::attribute::width, double v) { useWidth_ = v; }
  void set(tag::attribute::height, double v) { useHeight_ = v; }
  // A text's x and y lists: read by the text layout with those of its spans.
  template <class Range>
  void set(tag::attribute::x, const Range&) {}
  template <class Range>
  void set(tag::attribute::y, const Range&) {}

  // Path data, in user units; quadratics arrive raised to cubics. The
  // element's own transform may arrive after its path data, so the commands
  // are kept and drawn when the element ends.
  void path_move_to(double x, double y, tag::coordinate::absolute) {
    path_.push_back({PathCommand::Move, {x, y}});
  }
  void path_line_to(double x, double y, tag::coordinate::absolute) {
    path_.push_back({PathCommand::Line, {x, y}});
  }
  void path_cubic_bezier_to(double x1, double y1, double x2, double y2, double x, double y,
                            tag::coordinate::absolute) {
    path_.push_back({PathCommand::Cubic, {x1, y1, x2, y2, x, y}});
  }
  void path_elliptical_arc_to(double rx, double ry, double xAxisRotation, bool largeArc, bool sweep,
                              double x, double y, tag::coordinate::absolute) {
    path_.push_back(
        {PathCommand::Arc, {rx, ry, xAxisRotation, largeArc ? 1.0 : 0.0, sweep ? 1.0 : 0.0, x, y}});
  }
  void path_close_subpath() { path_.push_back({PathCommand::Close, {}}); }
  void path_exit() {}
  // A text's characters are read by the text layout, not reported here.
  template <class Range>
  void set_text(const Range&) {}

  void on_exit_element();

 private:
  // Collects the area of a clip path's shapes instead of cutting them.
  struct ClipCollector {
    ClipRegion region;
    bool paintCounts = false;  // a mask: only shapes that show count
  };
  // A clip path or marker, drawn for the element `user` in the space toMm.
  ElementContext(ElementContext& user, xmlNode* node, const Affine& toMm, ClipCollector* collector);

  static Paint paintServerFallback() { return {PaintKind::Colour, 0}; }  // gradients: black
  static Paint paintServerFallback(tag::value::none) { return {PaintKind::None, 0}; }
  static Paint paintServerFallback(tag::value::currentColor) {
    return {PaintKind::CurrentColour, 0};
  }
  static Paint paintServerFallback(int packed) { return {PaintKind::Colour, fromPacked(packed)}; }
  template <class Icc>
  static Paint paintServerFallback(int packed, const Icc&) {
    return {PaintKind::Colour, fromPacked(packed)};
  }
  // "#id" (SVG++ may already have taken the # off) to "id"; "" for anything
  // that is not a reference within the drawing.
  template <class Iri>
  static std::string reference(const Iri& iri) {
    const std::string text(boost::begin(iri), boost::end(iri));
    return text.size() > 1 && text[0] == '#' ? text.substr(1) : std::string();
  }

  void enter();
  [[nodiscard]] bool isUse() const;
  [[nodiscard]] const Paint* visiblePaint() const;
  [[nodiscard]] bool strokeShows() const;
  [[nodiscard]] bool fillShows() const;
  [[nodiscard]] int32_t outlineColour(const Paint& paint) const;
  [[nodiscard]] ShapeTags shapeTags() const;
  std::shared_ptr<const ClipRegion> activeClip();
  std::shared_ptr<const ClipRegion> ownRegion(bool mask);
  void expandUse();
  void drawMarkers(const std::vector<MarkerVertex>& vertices);
  void emitOutline(std::vector<Segment> pieces, int32_t colour, bool filled);
  void drawPath();
  void layOutText();
  void moveTo(double x, double y) {
    outline_.moveTo(toMm_.mapX(x, y), toMm_.mapY(x, y));
    lastX_ = subpathX_ = x;
    lastY_ = subpathY_ = y;
  }
  void lineTo(double x, double y) {
    outline_.lineTo(toMm_.mapX(x, y), toMm_.mapY(x, y));
    lastX_ = x;
    lastY_ = y;
  }
  void cubicTo(double x1, double y1, double x2, double y2, double x, double y) {
    outline_.cubicTo(toMm_.mapX(x1, y1), toMm_.mapY(x1, y1), toMm_.mapX(x2, y2), toMm_.mapY(x2, y2),
                     toMm_.mapX(x, y), toMm_.mapY(x, y));
    lastX_ = x;
    lastY_ = y;
  }
  void arcTo(double rx, double ry, double xAxisRotation, bool largeArc, bool sweep, double x,
             double y);
  void closePath() {
    outline_.close();
    lastX_ = subpathX_;
    lastY_ = subpathY_;
  }

  ImportState& state_;
  xmlNode* node_;
  Affine toMm_;
  LengthFactory lengthFactory_;
  bool root_ = false;
  Paint stroke_{PaintKind::None, 0};
  Paint fill_{PaintKind::Colour, 0};
  int32_t colour_ = 0;
  double fillOpacity_ = 1.0, strokeOpacity_ = 1.0, strokeWidth_ = 1.0;
  bool hidden_ = false;
  bool unusable_ = false;
  bool invisible_ = false;
  bool transparent_ = false;
  bool viewBoxSet_ = false;
  bool expansionOnly_ = false;          // a clip path or marker met where it stands
  std::array<std::string, 3> markers_;  // start, mid, end
  std::string clipRef_;
  std::string maskRef_;
  bool clipEvenOdd_ = false;
  bool fillEvenOdd_ = false;
  std::shared_ptr<const ClipRegion> inheritedClip_;
  std::optional<ClipRegion> viewportClip_;  // a viewport that hides what overflows it
  std::shared_ptr<const ClipRegion> clip_;  // inherited and own, once resolved
  bool clipResolved_ = false;
  ClipCollector* collector_ = nullptr;
  double useX_ = 0.0, useY_ = 0.0, useWidth_ = 0.0, useHeight_ = 0.0;
  double referenceWidth_ = 0.0, referenceHeight_ = 0.0;
  double lastX_ = 0.0, lastY_ = 0.0, subpathX_ = 0.0, subpathY_ = 0.0;
  std::vector<PathCommand> path_;
  OutlineBuilder outline_;
  TextStyle textStyle_;
  bool textStrokes_ = false;  // single-stroke text: open lines, never an area
};

}  // namespace brevanto::cli
