#include "element_context.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "document_traversal.h"
#include "elliptical_arc.h"

namespace brevanto::cli {
namespace {

bool named(const xmlNode* node, const char* name) {
  return xmlStrEqual(node->name, BAD_CAST name) != 0;
}

std::string attributeText(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetNoNsProp(node, BAD_CAST name);
  if (value == nullptr) return {};
  std::string s(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return s;
}

}  // namespace

void ImportState::fail(const std::string& message, const xmlNode* node) {
  if (result.error.empty()) {
    result.error = message;
    result.errorLine = node != nullptr ? static_cast<int32_t>(xmlGetLineNo(node)) : 0;
  }
  throw ImportStopped{};
}

void ImportState::warn(const std::string& message, const xmlNode* node) {
  const long line = node != nullptr ? xmlGetLineNo(node) : 0;
  result.warnings.push_back("line " + std::to_string(line) + ": " + message);
}

void ImportState::leaveOut(LeftOutKind kind, const xmlNode* node) {
  LeftOut& entry = leftOut[kind];
  if (entry.count++ == 0) entry.firstLine = node != nullptr ? xmlGetLineNo(node) : 0;
}

ElementContext::ElementContext(ImportState& state, xmlNode* node)
    : state_(state),
      node_(node),
      toMm_(Affine::scaling(state.mmPerPx, state.mmPerPx)),
      lengthFactory_(state.lengthFactory),
      root_(true) {
  enter();
}

ElementContext::ElementContext(ElementContext& parent, xmlNode* const& node)
    : state_(parent.state_),
      node_(node),
      toMm_(parent.toMm_),
      lengthFactory_(parent.lengthFactory_),
      stroke_(parent.stroke_),
      fill_(parent.fill_),
      colour_(parent.colour_),
      fillOpacity_(parent.fillOpacity_),
      strokeOpacity_(parent.strokeOpacity_),
      strokeWidth_(parent.strokeWidth_),
      invisible_(parent.invisible_),
      transparent_(parent.transparent_),
      markers_(parent.markers_),
      clipEvenOdd_(parent.clipEvenOdd_),
      inheritedClip_(parent.activeClip()),
      collector_(parent.collector_),
      referenceWidth_(parent.useWidth_),
      referenceHeight_(parent.useHeight_) {
  // Clip paths and markers draw only for the elements that use them.
  if (named(node_, "clipPath") || named(node_, "marker")) hidden_ = expansionOnly_ = true;
  enter();
}

ElementContext::ElementContext(ElementContext& user, xmlNode* node, const Affine& toMm,
                               ClipCollector* collector)
    : state_(user.state_),
      node_(node),
      toMm_(toMm),
      lengthFactory_(user.lengthFactory_),
      transparent_(user.transparent_),
      inheritedClip_(collector != nullptr ? nullptr : user.activeClip()),
      collector_(collector) {
  enter();
}

void ElementContext::enter() {
  if (++state_.elements > ImportState::kMaxElements) {
    state_.fail("the drawing has more than " + std::to_string(ImportState::kMaxElements) +
                    " elements (counting those repeated by use)",
                node_);
  }
}

// Percentages inside an svg (or a symbol, or a marker) refer to its own
// viewBox, else to its own size.
void ElementContext::set_viewport(double /*x*/, double /*y*/, double width, double height) {
  if (root_) {
    state_.result.pageWidthMm = width * state_.mmPerPx;
    state_.result.pageHeightMm = height * state_.mmPerPx;
    return;  // the outermost one's percentages are set before the walk
  }
  if (!viewBoxSet_) lengthFactory_.set_viewport_size(width, height);
}

void ElementContext::set_viewbox_size(double width, double height) {
  if (root_) return;
  lengthFactory_.set_viewport_size(width, height);
  viewBoxSet_ = true;
}

bool ElementContext::isUse() const {
  return named(node_, "use");
}

// The paint that shows: a stroke that is not none, transparent or of width
// 0, else such a fill; null when the shape shows nothing.
const Paint* ElementContext::visiblePaint() const {
  if (stroke_.kind != PaintKind::None && strokeOpacity_ > 0.0 && strokeWidth_ > 0.0) {
    return &stroke_;
  }
  if (fill_.kind != PaintKind::None && fillOpacity_ > 0.0) return &fill_;
  return nullptr;
}

int32_t ElementContext::outlineColour(const Paint& paint) const {
  return paint.kind == PaintKind::CurrentColour ? colour_ : paint.rgb;
}

void ElementContext::arcTo(double rx, double ry, double xAxisRotation, bool largeArc, bool sweep,
                           double x, double y) {
  const ArcOutline arc =
      ellipticalArc(lastX_, lastY_, rx, ry, xAxisRotation, largeArc, sweep, x, y);
  switch (arc.kind) {
    case ArcOutline::Kind::Nothing:
      return;
    case ArcOutline::Kind::Line:
      lineTo(x, y);
      return;
    case ArcOutline::Kind::Cubics:
      for (const ArcCubic& c : arc.cubics) cubicTo(c.x1, c.y1, c.x2, c.y2, c.x, c.y);
      return;
  }
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
  if (expansionOnly_) return;
  if (hidden_) {
    if (collector_ == nullptr && !root_) state_.leaveOut(LeftOutKind::InvisibleShapes, node_);
    return;
  }
  const bool markable = named(node_, "path") || named(node_, "line") || named(node_, "polyline") ||
                        named(node_, "polygon");
  std::vector<MarkerVertex> vertices;
  if (markable && collector_ == nullptr && !transparent_ &&
      (!markers_[0].empty() || !markers_[1].empty() || !markers_[2].empty())) {
    vertices = markerVertices(path_);
  }
  drawPath();
  if (!outline_.valid()) state_.fail(outline_.problem(), node_);
  if (isUse()) {
    expandUse();
    return;
  }
  if (outline_.subpathCount() > 0) {
    if (collector_ != nullptr) {
      if (!invisible_) collector_->region.addFilledOutline(outline_.pieces(), clipEvenOdd_);
      return;
    }
    const Paint* paint = visiblePaint();
    if (invisible_ || transparent_ || paint == nullptr) {
      state_.leaveOut(LeftOutKind::InvisibleShapes, node_);
    } else {
      emitOutline(outlineColour(*paint));
    }
  }
  if (!vertices.empty()) drawMarkers(vertices);
}

void ElementContext::emitOutline(int32_t colour) {
  ImportResult& result = state_.result;
  std::vector<Segment> pieces = outline_.pieces();
  int32_t subpaths = outline_.subpathCount();
  if (const auto clip = activeClip()) {
    bool removed = false;
    pieces = clip->clipOutline(pieces, removed);
    if (removed) state_.leaveOut(LeftOutKind::ClippedAway, node_);
    subpaths = pieces.empty() ? 0 : pieces.back().shapeKey + 1;
  }
  OutlineBuilder::emitPieces(pieces, state_.nextShapeKey, colour, result.segments);
  state_.nextShapeKey += subpaths;
  result.shapes += subpaths;
  if (result.segments.size() > ImportState::kMaxSegments) {
    state_.fail(
        "the drawing has more than " + std::to_string(ImportState::kMaxSegments) + " segments",
        node_);
  }
}

// The clip of this element: its parents' and its own, resolved once its own
// transform is known (when its first child starts, or when it ends).
std::shared_ptr<const ClipRegion> ElementContext::activeClip() {
  if (clipResolved_) return clip_;
  clipResolved_ = true;
  clip_ = inheritedClip_;
  if (clipRef_.empty() || collector_ != nullptr) return clip_;
  xmlNode* target = const_cast<xmlNode*>(state_.survey.elementById(clipRef_));
  if (target == nullptr || !named(target, "clipPath")) {
    state_.warn(
        "clip-path refers to no clip path of this drawing (\"" + clipRef_ + "\"); not applied",
        node_);
    return clip_;
  }
  if (state_.useChain.contains(target)) return clip_;
  Affine space = toMm_;
  if (attributeText(target, "clipPathUnits") == "objectBoundingBox") {
    // Fractions of the element's box, which only a shape of its own has here.
    const std::vector<Segment> pieces = outline_.pieces();
    if (pieces.empty()) {
      state_.warn("clip path in object bounding box units on a group; not applied", node_);
      return clip_;
    }
    const Affine toUser = toMm_.inverse();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const Segment& s : pieces) {
      const std::array<std::pair<double, double>, 4> points{
          std::pair{s.x0, s.y0}, {s.x3, s.y3}, {s.x1, s.y1}, {s.x2, s.y2}};
      for (size_t i = 0; i < (s.kind == 1 ? 4U : 2U); ++i) {
        const auto [px, py] = points[i];
        const double ux = toUser.mapX(px, py), uy = toUser.mapY(px, py);
        minX = std::min(minX, ux), maxX = std::max(maxX, ux);
        minY = std::min(minY, uy), maxY = std::max(maxY, uy);
      }
    }
    space = toMm_.after(Affine::translation(minX, minY))
                .after(Affine::scaling(maxX - minX, maxY - minY));
  }
  ClipCollector collector;
  state_.useChain.insert(target);
  {
    ElementContext clipContext(*this, target, space, &collector);
    DocumentTraversal::load_expected_element(target, clipContext, tag::element::clipPath());
  }
  state_.useChain.erase(target);
  clip_ = clip_ ? std::make_shared<const ClipRegion>(clip_->intersection(collector.region))
                : std::make_shared<const ClipRegion>(std::move(collector.region));
  return clip_;
}

// Each marker is drawn at its vertex, turned as its orient says and scaled
// by the stroke width unless markerUnits says user units; its own viewBox
// and refX/refY are applied by the reader.
void ElementContext::drawMarkers(const std::vector<MarkerVertex>& vertices) {
  for (const MarkerVertex& v : vertices) {
    const std::string& id = markers_[v.role];
    if (id.empty()) continue;
    xmlNode* target = const_cast<xmlNode*>(state_.survey.elementById(id));
    if (target == nullptr || !named(target, "marker")) {
      state_.warn("marker refers to no marker of this drawing (\"" + id + "\"); left out", node_);
      markers_[v.role].clear();
      continue;
    }
    if (state_.useChain.contains(target) || state_.useNesting >= ImportState::kMaxUseNesting) {
      continue;  // a marker drawn inside itself
    }
    const std::string orient = attributeText(target, "orient");
    double angle = 0.0;
    if (orient == "auto") {
      angle = v.angle;
    } else if (orient == "auto-start-reverse") {
      angle = v.role == MarkerVertex::Start ? v.angle + std::numbers::pi : v.angle;
    } else if (!orient.empty()) {
      angle = std::strtod(orient.c_str(), nullptr) * std::numbers::pi / 180.0;
    }
    const double scale =
        attributeText(target, "markerUnits") == "userSpaceOnUse" ? 1.0 : strokeWidth_;
    const Affine placement = toMm_.after(Affine::translation(v.x, v.y))
                                 .after(Affine::rotation(angle))
                                 .after(Affine::scaling(scale, scale));
    state_.useChain.insert(target);
    ++state_.useNesting;
    {
      ElementContext markerContext(*this, target, placement, nullptr);
      DocumentTraversal::load_expected_element(target, markerContext, tag::element::marker());
    }
    --state_.useNesting;
    state_.useChain.erase(target);
  }
}

void ElementContext::expandUse() {
  const xmlNode* target = state_.survey.referencedElement(node_);
  if (target == nullptr) {
    state_.warn("use refers to no element of this drawing", node_);
    state_.leaveOut(LeftOutKind::Unusable, node_);
    return;
  }
  if (state_.useChain.contains(target)) state_.fail("use refers to itself", node_);
  if (state_.useNesting >= ImportState::kMaxUseNesting) {
    state_.fail("use nested more than " + std::to_string(ImportState::kMaxUseNesting) + " deep",
                node_);
  }
  activeClip();  // in the use's own space, without its x and y
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

}  // namespace brevanto::cli
