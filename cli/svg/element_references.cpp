// What an element draws by reference: the area of its clip path or mask,
// the markers at its vertices, and what a `use` element draws.
#include <cmath>
#include <numbers>

#include "document_traversal.h"
#include "element_context.h"

namespace brevanto::cli {

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
std::shared_ptr<const ClipRegion> ElementContext::ownRegion(bool mask) {
  const std::string& id = mask ? maskRef_ : clipRef_;
  if (id.empty()) return nullptr;
  const char* kind = mask ? "mask" : "clip-path";
  xmlNode* target = const_cast<xmlNode*>(state_.survey.elementById(id));
  if (target == nullptr || !named(target, mask ? "mask" : "clipPath")) {
    state_.warn(std::string(kind) + " refers to no " + (mask ? "mask" : "clip path") +
                    " of this drawing (\"" + id + "\"); not applied",
                node_);
    return nullptr;
  }
  if (state_.useChain.contains(target)) return nullptr;
  if (mask && !shapesOnly(target)) {
    state_.warn("mask drawn with an image, text or use; not applied", node_);
    return nullptr;
  }
  Affine space = toMm_;
  if (attributeText(target, mask ? "maskContentUnits" : "clipPathUnits") == "objectBoundingBox") {
    // Fractions of the element's box, which only a shape of its own has here.
    const std::vector<Segment> pieces = outline_.pieces();
    if (pieces.empty()) {
      state_.warn(std::string(kind) + " in object bounding box units on a group; not applied",
                  node_);
      return nullptr;
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
  // Elements that share a clip path in one space share its region, built
  // once: a large clip path named by thousands of elements is read once.
  const ImportState::ClipKey key{target, space,
                                 lengthFactory_.create_length(100.0, tag::length_units::percent(),
                                                              tag::length_dimension::width()),
                                 lengthFactory_.create_length(100.0, tag::length_units::percent(),
                                                              tag::length_dimension::height()),
                                 transparent_};
  // (A key that is not finite would not compare: such a region is not kept.)
  const bool keyed = std::isfinite(space.a + space.b + space.c + space.d + space.e + space.f +
                                   std::get<2>(key) + std::get<3>(key));
  if (keyed) {
    if (const auto found = state_.clipRegions.find(key); found != state_.clipRegions.end()) {
      return found->second;
    }
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
  collector.region.finish();
  auto region = std::make_shared<const ClipRegion>(std::move(collector.region));
  if (keyed) state_.clipRegions.emplace(key, region);
  return region;
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
    if (++state_.markersDrawn > ImportState::kMaxMarkers) {
      state_.fail("the drawing draws more than " + std::to_string(ImportState::kMaxMarkers) +
                      " markers (counting markers within markers)",
                  node_);
    }
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
