// Pieces in a tree of bounding boxes, for nearest-distance queries.
#include "report/piece_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace brevanto::cli {
namespace {

// The square of the distance from p to the box: compared with a squared
// distance, it needs no square root.
double boxDistanceSquared(PlanePoint p, const PlaneBox& b) {
  const double dx = std::max({b.minX - p.x, 0.0, p.x - b.maxX});
  const double dy = std::max({b.minY - p.y, 0.0, p.y - b.maxY});
  return dx * dx + dy * dy;
}

}  // namespace

PieceTree::PieceTree(std::vector<Piece> pieces, bool inOrder)
    : pieces_(std::move(pieces)), inOrder_(inOrder) {
  const size_t n = pieces_.size();
  boxes_.reserve(n);
  for (const Piece& piece : pieces_) boxes_.push_back(piece.box());
  nodes_.reserve(2 * n / kLeafSize + 1);
  // The tree is built over an order of the pieces, which then puts them in
  // that order: each leaf's pieces lie side by side. The pieces move in
  // place, cycle by cycle, so a million of them are never held twice.
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  if (n > 0) build(order, 0, n);
  for (size_t start = 0; start < n; ++start) {
    if (order[start] == start) continue;
    const Piece piece = pieces_[start];
    const PlaneBox box = boxes_[start];
    size_t at = start;
    while (order[at] != start) {
      const size_t from = order[at];
      pieces_[at] = pieces_[from];
      boxes_[at] = boxes_[from];
      order[at] = at;
      at = from;
    }
    pieces_[at] = piece;
    boxes_[at] = box;
    order[at] = at;
  }
}

double PieceTree::nearest(PlanePoint p, size_t& hint, double enough, size_t& measured) const {
  ++measured;
  const double near = pieces_[hint].distanceWithin(p, enough);
  if (near <= enough) return near;
  // A point a little along from the last has its near piece beside the
  // hint in the tree's order more often than not: those are asked before
  // the tree is searched from its root. Any piece within `enough` is an
  // answer, so which one is found first does not change the largest
  // distance of a search.
  const size_t n = pieces_.size();
  const double enoughSquared = enough * enough;
  for (size_t i = hint > kLeafSize ? hint - kLeafSize : 0; i < n && i <= hint + kLeafSize; ++i) {
    if (i == hint || boxDistanceSquared(p, boxes_[i]) > enoughSquared) continue;
    ++measured;
    if (const double d = pieces_[i].distanceWithin(p, enough); d <= enough) {
      hint = i;
      return d;
    }
  }
  // The hint's distance bounds the search from the start; the search does
  // not take it twice.
  const size_t first = hint;
  double best = pieces_[first].distance(p);
  if (best <= enough) return best;
  double bestSquared = best * best;
  // Median splits keep the depth near log2(n / kLeafSize): 64 levels would
  // need more pieces than memory holds, and each level stacks two nodes.
  size_t stack[128];
  size_t depth = 0;
  stack[depth++] = 0;
  while (depth > 0) {
    const Node& n = nodes_[stack[--depth]];
    ++measured;
    if (boxDistanceSquared(p, n.box) >= bestSquared) continue;
    if (n.left == 0) {
      for (size_t i = n.begin; i < n.end; ++i) {
        if (i == first || boxDistanceSquared(p, boxes_[i]) >= bestSquared) continue;
        ++measured;
        if (const double near = pieces_[i].distanceWithin(p, enough); near <= enough) {
          hint = i;
          return near;
        }
        const double d = pieces_[i].distance(p);
        if (d < best) {
          best = d;
          bestSquared = d * d;
          hint = i;
          if (best <= enough) return best;
        }
      }
      continue;
    }
    // Nearer child last, so it is taken first.
    const bool leftFirst =
        boxDistanceSquared(p, nodes_[n.left].box) <= boxDistanceSquared(p, nodes_[n.right].box);
    stack[depth++] = leftFirst ? n.right : n.left;
    stack[depth++] = leftFirst ? n.left : n.right;
  }
  return best;
}

size_t PieceTree::build(std::vector<size_t>& order, size_t begin, size_t end) {
  const size_t index = nodes_.size();
  Node node{{}, begin, end};
  // The pieces' boxes are finite (only finite pieces are measured).
  for (size_t i = begin; i < end; ++i) {
    const PlaneBox& b = boxes_[order[i]];
    node.box.minX = std::min(node.box.minX, b.minX);
    node.box.minY = std::min(node.box.minY, b.minY);
    node.box.maxX = std::max(node.box.maxX, b.maxX);
    node.box.maxY = std::max(node.box.maxY, b.maxY);
  }
  nodes_.push_back(node);
  if (end - begin <= kLeafSize) return index;
  const bool alongX = node.box.maxX - node.box.minX >= node.box.maxY - node.box.minY;
  const size_t middle = begin + (end - begin) / 2;
  auto centre = [&](size_t i) {
    return alongX ? boxes_[i].minX + boxes_[i].maxX : boxes_[i].minY + boxes_[i].maxY;
  };
  if (!inOrder_) {
    std::nth_element(order.begin() + static_cast<std::ptrdiff_t>(begin),
                     order.begin() + static_cast<std::ptrdiff_t>(middle),
                     order.begin() + static_cast<std::ptrdiff_t>(end),
                     [&](size_t u, size_t v) { return centre(u) < centre(v); });
  }
  const size_t left = build(order, begin, middle);
  const size_t right = build(order, middle, end);
  nodes_[index].left = left;
  nodes_[index].right = right;
  return index;
}

}  // namespace brevanto::cli
