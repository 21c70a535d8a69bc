#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dxf_document.h"
#include "dxf_geometry.h"
#include "dxf_space.h"
#include "dxf_units.h"
#include "svg/svg_import.h"

namespace brevanto::cli::dxf {

// A drawing may make this many pieces, block instances counted with them:
// the SVG reader's budget, so a small file of blocks within blocks (or of
// arrays) is refused early rather than costing minutes or gigabytes.
inline constexpr int64_t kMostPieces = 2'000'000;
// Blocks may be nested this deep.
inline constexpr int32_t kDeepestNesting = 64;

// Why the drawing cannot be read, found while expanding it.
struct Refusal {
  std::string message;
  int32_t line = 0;  // line, or byte offset in a binary file
};

// Turns the model space's entities, blocks expanded, into outlines in
// millimetres with their layer and colour: layer 0 inside a block takes the
// insert's layer, colour "by block" the insert's colour; entities on frozen
// or off layers, invisible ones and kinds that are not cut are counted by
// kind. Throws Refusal.
class Expander : public EntitySink {
 public:
  // `units` overrides the drawing's own $INSUNITS.
  explicit Expander(std::optional<DrawingUnit> unit) : override_(std::move(unit)) {}

  void entity(Entity&& entity, const Document& document) override;
  // Inserts of blocks defined after them, once the whole file is read.
  void finish(const Document& document);

  std::vector<Outline>& outlines() { return outlines_; }
  [[nodiscard]] std::vector<LeftOut> leftOut() const;
  [[nodiscard]] const std::vector<std::string>& notes() const { return notes_; }
  [[nodiscard]] int32_t paperSpace() const { return paperSpace_; }
  // The unit the drawing was read in; nullopt when it gave none (read as mm).
  [[nodiscard]] const std::optional<DrawingUnit>& unit() const { return unit_; }

 private:
  struct Context {
    Space map;
    int32_t layer = -1;   // the insert's layer for entities on layer 0; -1 outside blocks
    int32_t byBlock = 0;  // the insert's colour
    int32_t line = 0;     // the outermost entity's line
    int32_t depth = 0;
    std::vector<std::string>* stack = nullptr;  // the blocks being expanded
  };
  void draw(const Entity& e, const Document& document, const Context& context);
  void insert(const Entity& e, const Document& document, const Context& context, int32_t layer,
              int32_t rgb);
  void count(const std::string& kind, int32_t line, int32_t n = 1);
  void spend(int64_t pieces, int32_t line);

  const Space& root(const Document& document);

  std::optional<DrawingUnit> override_;
  std::optional<DrawingUnit> unit_;  // as read: none when the drawing says no unit
  std::optional<Space> root_;
  std::vector<Outline> outlines_;
  std::vector<Entity> pending_;
  std::vector<LeftOut> tally_;
  std::vector<std::string> notes_;
  int32_t paperSpace_ = 0;
  int64_t spent_ = 0;
  bool widthsNoted_ = false;
};

// A kind of entity that is not cut, as the summary names it: "text",
// "hatches", "dimensions", ...
std::string leftOutKind(const std::string& entityType);

}  // namespace brevanto::cli::dxf
