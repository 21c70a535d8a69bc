#include "report/piece_tree.h"

#include <algorithm>
#include <cmath>

namespace brevanto::cli {

PieceTree::PieceTree(std::vector<Piece> pieces) : pieces_(std::move(pieces)) {
  nodes_.reserve(2 * pieces_.size() / kLeafSize + 1);
  if (!pieces_.empty()) build(0, pieces_.size());
}

double PieceTree::nearest(PlanePoint p, size_t& hint) const {
  double best = toPiece(p, pieces_[hint]);
  // Median splits keep the depth near log2(n / kLeafSize): 64 levels would
  // need more pieces than memory holds, and each level stacks two nodes.
  size_t stack[128];
  size_t depth = 0;
  stack[depth++] = 0;
  while (depth > 0) {
    const Node& n = nodes_[stack[--depth]];
    if (boxDistance(p, n) >= best) continue;
    if (n.left == 0) {
      for (size_t i = n.begin; i < n.end; ++i) {
        const double d = toPiece(p, pieces_[i]);
        if (d < best) {
          best = d;
          hint = i;
        }
      }
      continue;
    }
    // Nearer child last, so it is taken first.
    const bool leftFirst = boxDistance(p, nodes_[n.left]) <= boxDistance(p, nodes_[n.right]);
    stack[depth++] = leftFirst ? n.right : n.left;
    stack[depth++] = leftFirst ? n.left : n.right;
  }
  return best;
}

size_t PieceTree::build(size_t begin, size_t end) {
  const size_t index = nodes_.size();
  const PlanePoint first = pieces_[begin].a;
  Node node{first.x, first.y, first.x, first.y, begin, end};
  for (size_t i = begin; i < end; ++i) {
    for (const PlanePoint q : {pieces_[i].a, pieces_[i].b}) {
      node.minX = std::min(node.minX, q.x);
      node.minY = std::min(node.minY, q.y);
      node.maxX = std::max(node.maxX, q.x);
      node.maxY = std::max(node.maxY, q.y);
    }
  }
  nodes_.push_back(node);
  if (end - begin <= kLeafSize) return index;
  const bool alongX = node.maxX - node.minX >= node.maxY - node.minY;
  const size_t middle = begin + (end - begin) / 2;
  std::nth_element(pieces_.begin() + static_cast<std::ptrdiff_t>(begin),
                   pieces_.begin() + static_cast<std::ptrdiff_t>(middle),
                   pieces_.begin() + static_cast<std::ptrdiff_t>(end),
                   [alongX](const Piece& u, const Piece& v) {
                     return alongX ? u.a.x + u.b.x < v.a.x + v.b.x : u.a.y + u.b.y < v.a.y + v.b.y;
                   });
  const size_t left = build(begin, middle);
  const size_t right = build(middle, end);
  nodes_[index].left = left;
  nodes_[index].right = right;
  return index;
}

double PieceTree::boxDistance(PlanePoint p, const Node& n) {
  const double dx = std::max({n.minX - p.x, 0.0, p.x - n.maxX});
  const double dy = std::max({n.minY - p.y, 0.0, p.y - n.maxY});
  return std::hypot(dx, dy);
}

double PieceTree::toPiece(PlanePoint p, const Piece& s) {
  const double dx = s.b.x - s.a.x;
  const double dy = s.b.y - s.a.y;
  const double ll = dx * dx + dy * dy;
  double t = ll == 0.0 ? 0.0 : ((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / ll;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - s.a.x - t * dx, p.y - s.a.y - t * dy);
}

}  // namespace brevanto::cli
