#include "element_context.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "document_traversal.h"
#include "elliptical_arc.h"
#include "style_sheet.h"

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
      fillEvenOdd_(parent.fillEvenOdd_),
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
namespace {

// The overflow property of an element: its style declaration, else its
// attribute; empty when neither says.
std::string overflowOf(const xmlNode* node) {
  std::string value;
  for (const StyleDeclaration& d : parseDeclarations(attributeText(node, "style"))) {
    if (d.property == "overflow") value = d.value;
  }
  return value.empty() ? attributeText(node, "overflow") : value;
}

}  // namespace

void ElementContext::set_viewport(double x, double y, double width, double height) {
  if (root_) {
    state_.result.pageWidthMm = width * state_.mmPerPx;
    state_.result.pageHeightMm = height * state_.mmPerPx;
    // The page, where its size is known: both width and height, or a viewBox.
    const bool sized = state_.survey.rootViewBox().has_value() ||
                       (xmlHasProp(node_, BAD_CAST "width") != nullptr &&
                        xmlHasProp(node_, BAD_CAST "height") != nullptr);
    if (sized && width > 0.0 && height > 0.0 && std::isfinite(width) && std::isfinite(height)) {
      state_.page = std::make_shared<const ClipRegion>(
          ClipRegion::rectangle(0.0, 0.0, state_.result.pageWidthMm, state_.result.pageHeightMm));
    }
    return;  // the outermost one's percentages are set before the walk
  }
  if (!viewBoxSet_) lengthFactory_.set_viewport_size(width, height);
  // A nested svg or a marker shows nothing outside its viewport unless its
  // overflow says visible. (A symbol drawn by use is not clipped, as
  // librsvg draws it.)
  if (!named(node_, "svg") && !named(node_, "marker")) return;
  const std::string overflow = overflowOf(node_);
  if (overflow == "visible" || overflow == "auto" || collector_ != nullptr) return;
  std::vector<Segment> box;
  const double xs[4] = {x, x + width, x + width, x};
  const double ys[4] = {y, y, y + height, y + height};
  for (int i = 0; i < 4; ++i) {
    Segment s{};
    s.x0 = toMm_.mapX(xs[i], ys[i]);
    s.y0 = toMm_.mapY(xs[i], ys[i]);
    s.x3 = toMm_.mapX(xs[(i + 1) % 4], ys[(i + 1) % 4]);
    s.y3 = toMm_.mapY(xs[(i + 1) % 4], ys[(i + 1) % 4]);
    box.push_back(s);
  }
  ClipRegion viewport;
  viewport.addFilledOutline(box, false);
  if (clipResolved_) {
    clip_ = std::make_shared<const ClipRegion>(clip_ ? clip_->intersection(viewport)
                                                     : std::move(viewport));
  } else {
    viewportClip_ = std::move(viewport);
  }
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
  if (strokeShows()) return &stroke_;
  if (fillShows()) return &fill_;
  return nullptr;
}

bool ElementContext::strokeShows() const {
  return stroke_.kind != PaintKind::None && strokeOpacity_ > 0.0 && strokeWidth_ > 0.0;
}

bool ElementContext::fillShows() const {
  return fill_.kind != PaintKind::None && fillOpacity_ > 0.0;
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
      // A clip path counts its shapes' geometry; a mask, what of it shows.
      const bool counts = !collector_->paintCounts || (!transparent_ && visiblePaint() != nullptr);
      if (!invisible_ && counts) {
        collector_->region.addFilledOutline(outline_.pieces(), clipEvenOdd_);
      }
      return;
    }
    const Paint* paint = visiblePaint();
    // A stroke is drawn where the path runs; a fill, over the area its
    // subpaths enclose, an open one as if it were closed.
    bool dropped = false;
    std::vector<Segment> pieces;
    if (!invisible_ && !transparent_ && paint != nullptr) {
      pieces = outline_.pieces(fillShows(), !strokeShows(), &dropped);
    }
    if (pieces.empty() || dropped) state_.leaveOut(LeftOutKind::InvisibleShapes, node_);
    if (!pieces.empty()) emitOutline(std::move(pieces), outlineColour(*paint), fillShows());
  }
  if (!vertices.empty()) drawMarkers(vertices);
}

void ElementContext::emitOutline(std::vector<Segment> pieces, int32_t colour, bool filled) {
  ImportResult& result = state_.result;
  int32_t subpaths = pieces.back().shapeKey + 1;
  // A stroke is cut where it runs within the clip; a fill, round what of its
  // area shows, the clip's edge included.
  auto clipBy = [&](const ClipRegion& region, bool& removed) {
    return filled ? region.clipFilledOutline(pieces, fillEvenOdd_, removed)
                  : region.clipOutline(pieces, removed);
  };
  bool removed = false;
  if (const auto clip = activeClip()) {
    pieces = clipBy(*clip, removed);
    subpaths = pieces.empty() ? 0 : pieces.back().shapeKey + 1;
  }
  // Nothing shows beyond the page: the outermost viewport clips too.
  if (state_.page) {
    bool outside = false;
    pieces = clipBy(*state_.page, outside);
    subpaths = pieces.empty() ? 0 : pieces.back().shapeKey + 1;
    if (outside) {
      LeftOut& entry = result.outsidePage;
      if (entry.count++ == 0) entry.firstLine = static_cast<int32_t>(xmlGetLineNo(node_));
      removed = true;
    }
  }
  if (removed) state_.leaveOut(LeftOutKind::ClippedAway, node_);
  OutlineBuilder::emitPieces(pieces, state_.nextShapeKey, colour, result.segments);
  state_.nextShapeKey += subpaths;
  result.shapes += subpaths;
  if (result.segments.size() > ImportState::kMaxSegments) {
    state_.fail(
        "the drawing has more than " + std::to_string(ImportState::kMaxSegments) + " segments",
        node_);
  }
}

// The clip of this element: its parents', its own clip path and its mask,
// resolved once its own transform is known (when its first child starts, or
// when it ends).
std::shared_ptr<const ClipRegion> ElementContext::activeClip() {
  if (clipResolved_) return clip_;
  clipResolved_ = true;
  clip_ = inheritedClip_;
  if (collector_ != nullptr) return clip_;
  for (const int own : {0, 1, 2}) {
    std::optional<ClipRegion> region = own == 2 ? std::move(viewportClip_) : ownRegion(own == 1);
    if (!region) continue;
    clip_ = clip_ ? std::make_shared<const ClipRegion>(clip_->intersection(*region))
                  : std::make_shared<const ClipRegion>(std::move(*region));
  }
  return clip_;
}

namespace {

// A mask shows its element where its content is drawn; content that is not
// a shape (an image, text) has an area this reader does not know.
bool shapesOnly(const xmlNode* node) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (named(child, "image") || named(child, "text") || named(child, "foreignObject") ||
        named(child, "use") || !shapesOnly(child)) {
      return false;
    }
  }
  return true;
}

}  // namespace

// The area this element's clip path (or mask) lets through; none when it
// has none or it cannot be applied. A mask counts as the area its visible
// content covers, however light or dark: it shows the element there, and
// nothing of it elsewhere.
std::optional<ClipRegion> ElementContext::ownRegion(bool mask) {
  const std::string& id = mask ? maskRef_ : clipRef_;
  if (id.empty()) return std::nullopt;
  const char* kind = mask ? "mask" : "clip-path";
  xmlNode* target = const_cast<xmlNode*>(state_.survey.elementById(id));
  if (target == nullptr || !named(target, mask ? "mask" : "clipPath")) {
    state_.warn(std::string(kind) + " refers to no " + (mask ? "mask" : "clip path") +
                    " of this drawing (\"" + id + "\"); not applied",
                node_);
    return std::nullopt;
  }
  if (state_.useChain.contains(target)) return std::nullopt;
  if (mask && !shapesOnly(target)) {
    state_.warn("mask drawn with an image, text or use; not applied", node_);
    return std::nullopt;
  }
  Affine space = toMm_;
  if (attributeText(target, mask ? "maskContentUnits" : "clipPathUnits") == "objectBoundingBox") {
    // Fractions of the element's box, which only a shape of its own has here.
    const std::vector<Segment> pieces = outline_.pieces();
    if (pieces.empty()) {
      state_.warn(std::string(kind) + " in object bounding box units on a group; not applied",
                  node_);
      return std::nullopt;
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
  collector.paintCounts = mask;
  state_.useChain.insert(target);
  {
    ElementContext clipContext(*this, target, space, &collector);
    if (mask) {
      DocumentTraversal::load_expected_element(target, clipContext, tag::element::mask());
    } else {
      DocumentTraversal::load_expected_element(target, clipContext, tag::element::clipPath());
    }
  }
  state_.useChain.erase(target);
  return std::move(collector.region);
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
