#include "dxf_blocks.h"

#include <algorithm>
#include <numbers>

#include "dxf_entities.h"

namespace brevanto::cli::dxf {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// The left-out kinds in the order the summary lists them.
constexpr const char* kKindOrder[] = {"text",
                                      "hatches",
                                      "dimensions",
                                      "images",
                                      "3D entities",
                                      "entities in tilted planes",
                                      "points",
                                      "filled areas",
                                      "entities on frozen or off layers",
                                      "invisible entities",
                                      "inserts of undefined blocks",
                                      "unusable entities",
                                      "other entities"};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// 0x00RRGGBB as the file stores it, to red + 256 green + 65536 blue.
int32_t trueColour(int32_t v) {
  return ((v >> 16) & 0xFF) + 256 * ((v >> 8) & 0xFF) + 65536 * (v & 0xFF);
}

int32_t layerColour(const Layer& layer) {
  return layer.rgb >= 0 ? trueColour(layer.rgb) : aciColour(layer.aci);
}

std::string place(const Document& document, int32_t where) {
  return (document.binary ? "byte " : "line ") + std::to_string(where) + ": ";
}

}  // namespace

std::string leftOutKind(const std::string& type) {
  if (type == "TEXT" || type == "MTEXT" || type == "ATTRIB" || type == "ATTDEF" ||
      type == "ARCALIGNEDTEXT" || type == "RTEXT") {
    return "text";
  }
  if (type == "HATCH" || type == "MPOLYGON") return "hatches";
  if (type == "DIMENSION" || type == "LEADER" || type == "MLEADER" || type == "MULTILEADER" ||
      type == "TOLERANCE" || type == "ARC_DIMENSION") {
    return "dimensions";
  }
  if (type == "IMAGE" || type == "WIPEOUT" || type == "OLE2FRAME" || type == "OLEFRAME" ||
      type.ends_with("UNDERLAY")) {
    return "images";
  }
  if (type == "3DFACE" || type == "3DSOLID" || type == "BODY" || type == "REGION" ||
      type == "SURFACE" || type == "MESH" || type == "POLYLINE" || type.ends_with("SURFACE")) {
    return "3D entities";
  }
  if (type == "POINT") return "points";
  if (type == "SOLID" || type == "TRACE") return "filled areas";
  return "other entities";
}

const Space& Expander::root(const Document& document) {
  if (!root_) {
    unit_ = override_ ? override_ : unitOfInsunits(document.insunits);
    root_ = Space::scaled(unit_ ? unit_->mm : 1.0);
  }
  return *root_;
}

void Expander::count(const std::string& kind, int32_t line, int32_t n) {
  if (n <= 0) return;
  for (LeftOut& l : tally_) {
    if (l.kind == kind) {
      l.count += n;
      return;
    }
  }
  tally_.push_back({kind, n, line});
}

std::vector<LeftOut> Expander::leftOut() const {
  std::vector<LeftOut> out;
  for (const char* kind : kKindOrder) {
    for (const LeftOut& l : tally_) {
      if (l.kind == kind) out.push_back(l);
    }
  }
  return out;
}

void Expander::spend(int64_t pieces, int32_t line) {
  spent_ += pieces;
  if (spent_ > kMostPieces) {
    throw Refusal{"the drawing makes more than " + std::to_string(kMostPieces) +
                      " pieces (block instances counted): too many to cut",
                  line};
  }
}

void Expander::entity(Entity&& e, const Document& document) {
  if (e.paperSpace) {
    ++paperSpace_;
    return;
  }
  if (e.kind == Kind::Insert && !document.blocks.contains(upper(e.name))) {
    pending_.push_back(std::move(e));  // perhaps defined further on
    return;
  }
  std::vector<std::string> stack;
  draw(e, document, {.map = root(document), .line = e.line, .stack = &stack});
}

void Expander::finish(const Document& document) {
  for (const Entity& e : pending_) {
    std::vector<std::string> stack;
    draw(e, document, {.map = root(document), .line = e.line, .stack = &stack});
  }
  pending_.clear();
}

void Expander::draw(const Entity& e, const Document& document, const Context& context) {
  const int32_t layer = context.layer >= 0 && e.layer == 0 ? context.layer : e.layer;
  const Layer& info = document.layers[static_cast<size_t>(layer)];
  if (e.kind == Kind::LeftOut && e.name == "VIEWPORT") return;  // a view, not a drawing
  if (info.hidden) return count("entities on frozen or off layers", context.line);
  if (e.invisible) return count("invisible entities", context.line);
  int32_t rgb = 0;
  if (e.rgb >= 0) {
    rgb = trueColour(e.rgb);
  } else if (e.aci == 256) {
    rgb = layerColour(info);
  } else if (e.aci == 0) {
    rgb = context.byBlock;
  } else {
    rgb = aciColour(std::abs(e.aci));
  }
  if (e.kind == Kind::Insert) return insert(e, document, context, layer, rgb);
  if (e.kind == Kind::LeftOut || e.threeD) return count(leftOutKind(e.name), context.line);
  Outline outline;
  std::string problem;
  const auto most = static_cast<size_t>(std::max<int64_t>(0, kMostPieces - spent_));
  if (!entityOutline(e, context.map, most, outline, problem)) {
    if (problem == kTooManyPieces) spend(kMostPieces + 1, context.line);
    if (problem == kTilted) return count("entities in tilted planes", context.line);
    count("unusable entities", context.line);
    if (notes_.size() < 100) {
      notes_.push_back(place(document, context.line) + e.name + " left out: " + problem);
    }
    return;
  }
  if (outline.pieces.empty()) return;
  if (e.widths && !widthsNoted_) {
    widthsNoted_ = true;
    notes_.push_back(place(document, context.line) +
                     "polyline widths are not cut: the tool follows the centre line");
  }
  spend(static_cast<int64_t>(outline.pieces.size()), context.line);
  // Runs are told apart across the drawing by the outline's number.
  for (Piece& p : outline.pieces) p.run += static_cast<int64_t>(outlines_.size()) << 32;
  outline.layer = layer;
  outline.rgb = rgb;
  outline.line = context.line;
  outlines_.push_back(std::move(outline));
}

void Expander::insert(const Entity& e, const Document& document, const Context& context,
                      int32_t layer, int32_t rgb) {
  count("text", context.line, e.attributes);
  const std::string name = upper(e.name);
  const auto found = document.blocks.find(name);
  if (found == document.blocks.end()) return count("inserts of undefined blocks", context.line);
  if (std::find(context.stack->begin(), context.stack->end(), name) != context.stack->end()) {
    throw Refusal{"block \"" + e.name +
                      "\" inserts itself (through the blocks it inserts): it would never end",
                  e.line};
  }
  if (context.depth >= kDeepestNesting) {
    throw Refusal{"blocks nested more than " + std::to_string(kDeepestNesting) + " deep", e.line};
  }
  const Block& block = found->second;
  const int32_t columns = std::max(1, e.columns), rows = std::max(1, e.rows);
  const double angle = e.rotation * kDegree;
  const double cs = std::cos(angle), sn = std::sin(angle);
  // In the insert's plane: scale about the block's base point, then the
  // array's offset, rotation and the insertion point.
  const Space plane = ocs(e.normal);
  context.stack->push_back(name);
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      spend(1, context.line);
      const double ox = c * e.columnSpacing, oy = r * e.rowSpacing;
      const Space place{
          {{cs * e.sx, -sn * e.sy, 0.0}, {sn * e.sx, cs * e.sy, 0.0}, {0.0, 0.0, e.sz}},
          {e.a.x + cs * (ox - e.sx * block.baseX) - sn * (oy - e.sy * block.baseY),
           e.a.y + sn * (ox - e.sx * block.baseX) + cs * (oy - e.sy * block.baseY),
           e.a.z - e.sz * block.baseZ}};
      Context inner{.map = context.map.after(plane.after(place)),
                    .layer = layer,
                    .byBlock = rgb,
                    .line = context.line,
                    .depth = context.depth + 1,
                    .stack = context.stack};
      for (const Entity& child : block.entities) draw(child, document, inner);
    }
  }
  context.stack->pop_back();
}

}  // namespace brevanto::cli::dxf
