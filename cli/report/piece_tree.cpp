// Pieces in the nearest-distance index.
#include "report/piece_tree.h"

namespace brevanto::cli {
namespace {

std::vector<NearestIndex::Box> boxesOf(const std::vector<Piece>& pieces) {
  std::vector<NearestIndex::Box> boxes;
  boxes.reserve(pieces.size());
  for (const Piece& piece : pieces) {
    const PlaneBox b = piece.box();
    boxes.push_back({b.minX, b.minY, b.maxX, b.maxY});
  }
  return boxes;
}

// A piece's distance from the point searched from: exact, or cheaply
// within `enough` where that can be told without the exact one.
struct PieceDistance {
  const std::vector<Piece>& pieces;
  PlanePoint p;
  [[nodiscard]] double distance(size_t i) const { return pieces[i].distance(p); }
  [[nodiscard]] double within(size_t i, double enough) const {
    return pieces[i].distanceWithin(p, enough);
  }
};

}  // namespace

PieceTree::PieceTree(std::vector<Piece> pieces, bool inOrder)
    : pieces_(std::move(pieces)), index_(boxesOf(pieces_), NearestIndex::Gap::Euclidean, inOrder) {
  index_.arrange(pieces_);
}

double PieceTree::nearest(PlanePoint p, size_t& hint, double enough, size_t& measured) const {
  NearestIndex::Search search{
      .x = p.x, .y = p.y, .enough = enough, .useHint = true, .hint = hint, .measured = measured};
  const double d = index_.nearest(search, PieceDistance{pieces_, p});
  hint = search.hint;
  measured = search.measured;
  return d;
}

}  // namespace brevanto::cli
