#include "element_context.h"

#include <cmath>
#include <cstring>

#include "document_traversal.h"
#include "elliptical_arc.h"
#include "style_sheet.h"

namespace brevanto::cli {

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

void ImportState::countSegments(size_t made, const xmlNode* node) {
  segmentsMade += static_cast<int64_t>(made);
  if (segmentsMade > kMaxSegments) {
    fail("the drawing makes more than " + std::to_string(kMaxSegments) +
             " segments (counting each repetition by use, markers and clip paths)",
         node);
  }
}

ElementContext::ElementContext(ImportState& state, xmlNode* node)
    : state_(state),
      node_(node),
      toMm_(Affine::scaling(state.mmPerPx, state.mmPerPx)),
      lengthFactory_(state.lengthFactory),
      root_(true) {
  if (hasTextProperties(node)) textStyle_ = inheritTextStyle(textStyle_, node);
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
      referenceHeight_(parent.useHeight_),
      textStyle_(named(node, "text") || hasTextProperties(node)
                     ? inheritTextStyle(parent.textStyle_, node)
                     : parent.textStyle_) {
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
      collector_(collector),
      textStyle_(user.textStyle_) {
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
  (void)viewport.addFilledOutline(box, false);
  viewport.finish();
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
    if (collector_ == nullptr && !root_ && !unusable_)
      state_.leaveOut(LeftOutKind::InvisibleShapes, node_);
    return;
  }
  const bool markable = named(node_, "path") || named(node_, "line") || named(node_, "polyline") ||
                        named(node_, "polygon");
  std::vector<MarkerVertex> vertices;
  if (markable && collector_ == nullptr && !transparent_ &&
      (!markers_[0].empty() || !markers_[1].empty() || !markers_[2].empty())) {
    vertices = markerVertices(path_);
  }
  if (named(node_, "text")) layOutText();
  drawPath();
  if (!outline_.valid()) state_.fail(outline_.problem(), node_);
  state_.countSegments(outline_.pieceCount(), node_);
  if (isUse()) {
    expandUse();
    return;
  }
  if (outline_.subpathCount() > 0) {
    if (collector_ != nullptr) {
      // A clip path counts its shapes' geometry; a mask, what of it shows.
      const bool counts = !collector_->paintCounts || (!transparent_ && visiblePaint() != nullptr);
      if (!invisible_ && counts) {
        if (!collector_->region.addFilledOutline(outline_.pieces(), clipEvenOdd_)) {
          state_.fail("the clip path or mask has more than " +
                          std::to_string(ClipRegion::kMostEdges) +
                          " edges once its curves are flattened",
                      node_);
        }
      }
      return;
    }
    const Paint* paint = visiblePaint();
    // A stroke is drawn where the path runs; a fill, over the area its
    // subpaths enclose, an open one as if it were closed.
    bool dropped = false;
    std::vector<Segment> pieces;
    const bool filled = fillShows() && !textStrokes_;
    if (!invisible_ && !transparent_ && paint != nullptr) {
      pieces = outline_.pieces(filled, !strokeShows() && !textStrokes_, &dropped);
    }
    if (pieces.empty() || dropped) state_.leaveOut(LeftOutKind::InvisibleShapes, node_);
    if (!pieces.empty()) emitOutline(std::move(pieces), outlineColour(*paint), filled);
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
  if (subpaths > 0) {
    const ShapeTags tags = shapeTags();
    result.tags.resize(static_cast<size_t>(state_.nextShapeKey - 1 + subpaths), tags);
  }
  state_.nextShapeKey += subpaths;
  result.shapes += subpaths;
  // Clipping may turn one curve into many lines.
  if (result.segments.size() > static_cast<size_t>(ImportState::kMaxSegments)) {
    state_.fail("the drawing has more than " + std::to_string(ImportState::kMaxSegments) +
                    " segments once clipped",
                node_);
  }
}

namespace {

// An attribute of this name in any namespace (inkscape:label): drawing
// programs keep their own words under their own prefix.
std::string prefixedAttributeText(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, BAD_CAST name);
  if (value == nullptr) return {};
  std::string text(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return text;
}

}  // namespace

// What operations select this element's shapes by: its paints as they show,
// its id and classes, and the layer it lies in (the nearest Inkscape layer's
// label, else the nearest group's id).
ShapeTags ElementContext::shapeTags() const {
  ShapeTags tags;
  if (strokeShows()) tags.stroke = outlineColour(stroke_);
  if (fillShows()) tags.fill = outlineColour(fill_);
  tags.id = attributeText(node_, "id");
  const std::string classes = attributeText(node_, "class");
  for (size_t at = 0; at < classes.size();) {
    const size_t from = classes.find_first_not_of(" \t\r\n", at);
    if (from == std::string::npos) break;
    const size_t to = std::min(classes.find_first_of(" \t\r\n", from), classes.size());
    tags.classes.push_back(classes.substr(from, to - from));
    at = to;
  }
  std::string group;
  for (const xmlNode* n = node_->parent; n != nullptr && n->type == XML_ELEMENT_NODE;
       n = n->parent) {
    if (!named(n, "g")) continue;
    if (prefixedAttributeText(n, "groupmode") == "layer") {
      const std::string label = prefixedAttributeText(n, "label");
      tags.layer = label.empty() ? attributeText(n, "id") : label;
      return tags;
    }
    if (group.empty()) group = attributeText(n, "id");
  }
  tags.layer = group;
  return tags;
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
    std::shared_ptr<const ClipRegion> region;
    if (own < 2) {
      region = ownRegion(own == 1);
    } else if (viewportClip_) {
      region = std::make_shared<const ClipRegion>(std::move(*viewportClip_));
    }
    if (!region) continue;
    clip_ = clip_ ? std::make_shared<const ClipRegion>(clip_->intersection(*region)) : region;
  }
  return clip_;
}

}  // namespace brevanto::cli
