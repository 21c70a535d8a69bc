// SVG import: libxml2 reads the XML, SVG++ interprets the SVG (path data,
// basic shapes, transforms, viewports, units, paint) and this file turns what
// SVG++ reports into millimetre outlines with shape numbers and colours.
#include "svg_import.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <array>
#include <boost/array.hpp>
#include <boost/mpl/set.hpp>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <numbers>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// SVG++ and Boost are third-party headers; their own warnings are not ours.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define BOOST_PARAMETER_MAX_ARITY 15  // the traversal below takes more than the default 8 options
#include <svgpp/policy/xml/libxml2.hpp>
#include <svgpp/svgpp.hpp>
#include <svgpp/utility/arc_endpoint_to_center.hpp>
#pragma GCC diagnostic pop

#include "affine.h"
#include "outline_builder.h"
#include "svg_survey.h"

namespace brevanto::cli {

int32_t ImportResult::skippedCount() const {
  int32_t n = 0;
  for (const auto& [name, count] : skippedElements) n += count;
  return n;
}

namespace {

namespace tag = svgpp::tag;

constexpr double kMmPerPx = 25.4 / 96.0;  // CSS pixels: 96 per inch
constexpr int32_t kMaxUseNesting = 64;
constexpr int64_t kMaxElements = 10'000'000;  // also bounds what `use` can multiply
constexpr size_t kMaxSegments = 20'000'000;

// Stops the traversal; the message is already recorded.
struct ImportStopped {};

enum class PaintKind { None, Colour, CurrentColour };
struct Paint {
  PaintKind kind = PaintKind::None;
  int32_t rgb = 0;  // red + 256·green + 65536·blue
};

// SVG++ packs colours as 0xRRGGBB; the segments carry red in the low byte.
int32_t fromPacked(int packed) {
  const int32_t r = (packed >> 16) & 0xFF;
  const int32_t g = (packed >> 8) & 0xFF;
  const int32_t b = packed & 0xFF;
  return r + 256 * g + 65536 * b;
}

// What the whole import shares: the outcome, the lookup of ids for `use`,
// the length conversion and the limits.
struct ImportState {
  ImportResult& result;
  const SvgSurvey& survey;
  svgpp::factory::length::unitless<> lengthFactory;
  int32_t nextShapeKey = 1;
  int32_t useNesting = 0;
  int64_t elements = 0;
  std::unordered_set<const xmlNode*> useChain;  // `use` targets being expanded
  bool pageSizeKnown = false;

  void fail(const std::string& message, const xmlNode* node) {
    if (result.error.empty()) {
      result.error = message;
      result.errorLine = node != nullptr ? static_cast<int32_t>(xmlGetLineNo(node)) : 0;
    }
    throw ImportStopped{};
  }
  void warn(const std::string& message, const xmlNode* node) {
    const long line = node != nullptr ? xmlGetLineNo(node) : 0;
    result.warnings.push_back("line " + std::to_string(line) + ": " + message);
  }
};

class ElementContext {
 public:
  using length_factory_type = const svgpp::factory::length::unitless<>;

  // The outermost element: pixels of the page to millimetres.
  ElementContext(ImportState& state, xmlNode* node)
      : state_(state), node_(node), toMm_(Affine::scaling(kMmPerPx, kMmPerPx)), root_(true) {
    enter();
  }

  // A child inherits the map to millimetres and the paint.
  ElementContext(ElementContext& parent, xmlNode* const& node)
      : state_(parent.state_),
        node_(node),
        toMm_(parent.toMm_),
        stroke_(parent.stroke_),
        fill_(parent.fill_),
        colour_(parent.colour_),
        invisible_(parent.invisible_),
        referenceWidth_(parent.useWidth_),
        referenceHeight_(parent.useHeight_) {
    enter();
  }

  ElementContext(const ElementContext&) = delete;
  ElementContext& operator=(const ElementContext&) = delete;

  length_factory_type& length_factory() const { return state_.lengthFactory; }
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
  void set_viewport(double /*x*/, double /*y*/, double width, double height) {
    if (root_) {
      state_.result.pageWidthMm = width * kMmPerPx;
      state_.result.pageHeightMm = height * kMmPerPx;
    }
  }
  void set_viewbox_size(double /*width*/, double /*height*/) {}
  // A symbol (or svg) drawn by `use` takes its viewport from the use's size.
  void get_reference_viewport_size(double& width, double& height) const {
    if (referenceWidth_ > 0.0) width = referenceWidth_;
    if (referenceHeight_ > 0.0) height = referenceHeight_;
  }
  void disable_rendering() { hidden_ = true; }

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

  // `use`: position, size; the reference is read from the element itself so
  // that both href and xlink:href work.
  void set(tag::attribute::x, double v) { useX_ = v; }
  void set(tag::attribute::y, double v) { useY_ = v; }
  void set(tag::attribute::width, double v) { useWidth_ = v; }
  void set(tag::attribute::height, double v) { useHeight_ = v; }

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

  void on_exit_element();

 private:
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

  void enter() {
    if (++state_.elements > kMaxElements) {
      state_.fail("the drawing has more than " + std::to_string(kMaxElements) +
                      " elements (counting those repeated by use)",
                  node_);
    }
  }
  [[nodiscard]] int32_t outlineColour() const;
  void expandUse();
  void drawPath();
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

  struct PathCommand {
    enum Kind { Move, Line, Cubic, Arc, Close } kind;
    std::array<double, 7> v;
  };

  ImportState& state_;
  xmlNode* node_;
  Affine toMm_;
  bool root_ = false;
  Paint stroke_{PaintKind::None, 0};
  Paint fill_{PaintKind::Colour, 0};
  int32_t colour_ = 0;
  bool hidden_ = false;
  bool invisible_ = false;
  double useX_ = 0.0, useY_ = 0.0, useWidth_ = 0.0, useHeight_ = 0.0;
  double referenceWidth_ = 0.0, referenceHeight_ = 0.0;
  double lastX_ = 0.0, lastY_ = 0.0, subpathX_ = 0.0, subpathY_ = 0.0;
  std::vector<PathCommand> path_;
  OutlineBuilder outline_;
};

int32_t ElementContext::outlineColour() const {
  const Paint& paint = stroke_.kind != PaintKind::None ? stroke_ : fill_;
  switch (paint.kind) {
    case PaintKind::Colour:
      return paint.rgb;
    case PaintKind::CurrentColour:
      return colour_;
    case PaintKind::None:
      break;
  }
  return 0;  // neither stroke nor fill: black
}

// An elliptical arc becomes cubics of at most 90 degrees each. The cases SVG
// settles before the arc formula: no arc when the end is the start, a line
// when a radius is zero, negative radii count as positive.
void ElementContext::arcTo(double rx, double ry, double xAxisRotation, bool largeArc, bool sweep,
                           double x, double y) {
  if (x == lastX_ && y == lastY_) return;
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if (rx == 0.0 || ry == 0.0 || !std::isfinite(rx) || !std::isfinite(ry)) {
    lineTo(x, y);
    return;
  }
  const double phi = xAxisRotation * std::numbers::pi / 180.0;
  double cx = 0.0, cy = 0.0, theta1 = 0.0, theta2 = 0.0;
  svgpp::arc_endpoint_to_center(lastX_, lastY_, x, y, rx, ry, phi, largeArc, sweep, cx, cy, theta1,
                                theta2);
  constexpr double kTwoPi = 2.0 * std::numbers::pi;
  if (sweep && theta2 < theta1) theta2 += kTwoPi;
  if (!sweep && theta2 > theta1) theta2 -= kTwoPi;
  const double sweepAngle = std::fabs(theta2 - theta1);
  if (!std::isfinite(sweepAngle)) {
    lineTo(x, y);
    return;
  }
  // Fewest pieces of at most a quarter turn, each with handles of length
  // 4/3·tan(sweep/4) along the tangents: the cubic then meets the ellipse at
  // both ends and in the middle of the piece.
  const double quarter = std::numbers::pi / 2.0;
  const int pieces = std::max(1, static_cast<int>(std::ceil(sweepAngle / quarter - 1e-9)));
  const double step = (theta2 - theta1) / pieces;
  const double handle = 4.0 / 3.0 * std::tan(step / 4.0);
  const double cosPhi = std::cos(phi);
  const double sinPhi = std::sin(phi);
  auto pointAt = [&](double eta, double& px, double& py) {
    const double ex = rx * std::cos(eta);
    const double ey = ry * std::sin(eta);
    px = cx + ex * cosPhi - ey * sinPhi;
    py = cy + ex * sinPhi + ey * cosPhi;
  };
  auto tangentAt = [&](double eta, double& tx, double& ty) {
    const double dx = -rx * std::sin(eta);
    const double dy = ry * std::cos(eta);
    tx = dx * cosPhi - dy * sinPhi;
    ty = dx * sinPhi + dy * cosPhi;
  };
  double fromX = lastX_, fromY = lastY_;
  for (int i = 0; i < pieces; ++i) {
    const double eta1 = theta1 + step * i;
    const double eta2 = i + 1 == pieces ? theta2 : theta1 + step * (i + 1);
    double t1x = 0.0, t1y = 0.0, t2x = 0.0, t2y = 0.0, toX = x, toY = y;
    tangentAt(eta1, t1x, t1y);
    tangentAt(eta2, t2x, t2y);
    if (i + 1 < pieces) pointAt(eta2, toX, toY);  // the last piece ends exactly where the data says
    cubicTo(fromX + handle * t1x, fromY + handle * t1y, toX - handle * t2x, toY - handle * t2y, toX,
            toY);
    fromX = toX;
    fromY = toY;
  }
  lastX_ = x;
  lastY_ = y;
}

void ElementContext::drawPath() {
  for (const PathCommand& c : path_) {
    const auto& v = c.v;
    switch (c.kind) {
      case PathCommand::Move:
        moveTo(v[0], v[1]);
        break;
      case PathCommand::Line:
        lineTo(v[0], v[1]);
        break;
      case PathCommand::Cubic:
        cubicTo(v[0], v[1], v[2], v[3], v[4], v[5]);
        break;
      case PathCommand::Arc:
        arcTo(v[0], v[1], v[2], v[3] != 0.0, v[4] != 0.0, v[5], v[6]);
        break;
      case PathCommand::Close:
        closePath();
        break;
    }
  }
  path_.clear();
}

void ElementContext::on_exit_element() {
  if (hidden_ || invisible_) return;
  drawPath();
  if (!outline_.valid()) state_.fail(outline_.problem(), node_);
  if (xmlStrEqual(node_->name, BAD_CAST "use") != 0) {
    expandUse();
    return;
  }
  if (outline_.subpathCount() == 0) return;
  ImportResult& result = state_.result;
  outline_.emit(state_.nextShapeKey, outlineColour(), result.segments);
  state_.nextShapeKey += outline_.subpathCount();
  result.shapes += outline_.subpathCount();
  if (result.segments.size() > kMaxSegments) {
    state_.fail("the drawing has more than " + std::to_string(kMaxSegments) + " segments", node_);
  }
}

// Elements that are drawn where they stand, and those `use` may draw.
using DrawnElements =
    boost::mpl::set<tag::element::svg, tag::element::g, tag::element::a, tag::element::switch_,
                    tag::element::path, tag::element::rect, tag::element::circle,
                    tag::element::ellipse, tag::element::line, tag::element::polyline,
                    tag::element::polygon, tag::element::use_>::type;
using UsableElements =
    boost::mpl::set<tag::element::svg, tag::element::g, tag::element::switch_, tag::element::symbol,
                    tag::element::path, tag::element::rect, tag::element::circle,
                    tag::element::ellipse, tag::element::line, tag::element::polyline,
                    tag::element::polygon, tag::element::use_>::type;

using ProcessedAttributes = boost::mpl::fold<
    boost::mpl::protect<boost::mpl::joint_view<svgpp::traits::shapes_attributes_by_element,
                                               svgpp::traits::viewport_attributes>>,
    boost::mpl::set<tag::attribute::transform, tag::attribute::stroke, tag::attribute::fill,
                    tag::attribute::color, tag::attribute::display,
                    tag::attribute::visibility>::type,
    boost::mpl::insert<boost::mpl::_1, boost::mpl::_2>>::type;

// Every child element gets a context of its own, built from its parent's.
struct ChildContextFactories {
  template <class ParentContext, class ElementTag>
  struct apply {
    using type = svgpp::factory::context::on_stack_with_xml_element<ElementContext>;
  };
};

// Keep going past what cannot be drawn; stop at what would draw wrongly.
struct ImportErrorPolicy : svgpp::policy::error::raise_exception<ElementContext> {
  using Base = svgpp::policy::error::raise_exception<ElementContext>;
  template <class XMLElement, class ElementName>
  static bool unknown_element(const ElementContext&, const XMLElement&, const ElementName&) {
    return true;  // counted by the survey
  }
  template <class XMLElement>
  static bool unexpected_element(const ElementContext&, const XMLElement&) {
    return true;
  }
  template <class XMLAttribute, class AttributeName, class... Rest>
  static bool unknown_attribute(const ElementContext&, const XMLAttribute&, const AttributeName&,
                                const Rest&...) {
    return true;
  }
  static bool unexpected_attribute(const ElementContext&, svgpp::detail::attribute_id,
                                   tag::source::attribute) {
    return true;
  }
  template <class AttributeTag>
  static bool required_attribute_not_found(ElementContext& context, AttributeTag) {
    context.state().warn(std::string("element left out: attribute \"") +
                             svgpp::attribute_name<char>::get<AttributeTag>() + "\" missing",
                         context.node());
    return true;
  }
  template <class AttributeTag>
  static bool negative_value(ElementContext& context, AttributeTag) {
    context.state().warn(std::string("element left out: negative \"") +
                             svgpp::attribute_name<char>::get<AttributeTag>() + "\"",
                         context.node());
    return true;
  }
  template <class AttributeTag, class AttributeValue>
  static bool parse_failed(ElementContext& context, AttributeTag, const AttributeValue& value) {
    const std::string name = svgpp::attribute_name<char>::get<AttributeTag>();
    std::string text(boost::begin(value), boost::end(value));
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    if (name == "stroke" || name == "fill" || name == "color") {
      context.state().warn("unreadable " + name + " \"" + text + "\" ignored", context.node());
      return true;
    }
    context.state().fail("invalid value of \"" + name + "\": \"" + text + "\"", context.node());
    return false;
  }
};

struct TraversalControl {
  static bool proceed_to_element_content(const ElementContext& context) {
    return !context.hidden();
  }
  static bool proceed_to_next_child(const ElementContext&) { return true; }
  template <class XMLElement>
  static bool process_child(const ElementContext&, const XMLElement&) {
    return true;
  }
};

struct ArcsApartPathPolicy {
  static const bool absolute_coordinates_only = true;
  static const bool no_ortho_line_to = true;
  static const bool no_quadratic_bezier_shorthand = true;
  static const bool no_cubic_bezier_shorthand = true;
  static const bool quadratic_bezier_as_cubic = true;
  static const bool arc_as_cubic_bezier = false;  // done above, with SVG's special cases
};

using DocumentTraversal = svgpp::document_traversal<
    svgpp::processed_elements<DrawnElements>, svgpp::processed_attributes<ProcessedAttributes>,
    svgpp::context_factories<ChildContextFactories>,
    svgpp::viewport_policy<svgpp::policy::viewport::as_transform>,
    svgpp::length_policy<svgpp::policy::length::forward_to_method<ElementContext>>,
    svgpp::path_policy<ArcsApartPathPolicy>,
    svgpp::transform_events_policy<
        svgpp::policy::transform_events::forward_to_method<ElementContext>>,
    svgpp::iri_policy<svgpp::policy::iri::raw>, svgpp::error_policy<ImportErrorPolicy>,
    svgpp::document_traversal_control_policy<TraversalControl>>;

void ElementContext::expandUse() {
  const xmlNode* target = state_.survey.referencedElement(node_);
  if (target == nullptr) {
    state_.warn("use refers to no element of this drawing", node_);
    return;
  }
  if (state_.useChain.contains(target)) state_.fail("use refers to itself", node_);
  if (state_.useNesting >= kMaxUseNesting) {
    state_.fail("use nested more than " + std::to_string(kMaxUseNesting) + " deep", node_);
  }
  toMm_ = toMm_.after(Affine::translation(useX_, useY_));
  state_.useChain.insert(target);
  ++state_.useNesting;
  const bool completed = DocumentTraversal::load_referenced_element<
      svgpp::referencing_element<tag::element::use_>, svgpp::expected_elements<UsableElements>,
      svgpp::processed_elements<UsableElements>>::load(const_cast<xmlNode*>(target), *this);
  --state_.useNesting;
  state_.useChain.erase(target);
  if (!completed) throw ImportStopped{};
}

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

void importDocument(std::string_view text, const ImportOptions& options, ImportResult& result) {
  SvgSurvey survey;
  if (!survey.read(text)) {
    result.error = survey.error();
    result.errorLine = survey.errorLine();
    return;
  }
  result.skippedElements = survey.skippedElements();

  ImportState state{result, survey, {}, 1, 0, 0, {}, false};
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
}

}  // namespace

ImportResult importSvg(std::string_view text, const ImportOptions& options) {
  ImportResult result;
  try {
    importDocument(text, options, result);
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

}  // namespace brevanto::cli
