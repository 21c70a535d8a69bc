// The one index for "how far is this point from the nearest of these
// things": a tree of bounding boxes over items the caller owns. The index
// holds only the boxes and the tree; the caller measures its own items, so
// the distance found is exactly the caller's distance function, whatever the
// items are (an outline's pieces for the tool's clearance, a program's and a
// drawing's lines, arcs and cubics for the fidelity figure).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

namespace brevanto {

class NearestIndex {
 public:
  struct Box {
    double minX = std::numeric_limits<double>::infinity();
    double minY = std::numeric_limits<double>::infinity();
    double maxX = -std::numeric_limits<double>::infinity();
    double maxY = -std::numeric_limits<double>::infinity();
  };

  // How a box's distance from a point is taken to leave it out of a search.
  // Euclidean prunes most. LargerGap (the larger of the gaps along x and y)
  // prunes less but never leaves out an item whose distance, as the caller
  // computes it from its own coordinates, rounds below the box's: the
  // search's answer is then the exact minimum of the caller's numbers.
  enum class Gap { Euclidean, LargerGap };

  // One search. `reach`: items at least this far need not be found (the
  // answer is at most reach). `enough`: as soon as an item within it is
  // found, its distance is the answer (a search for a largest distance need
  // not know how near a point is once it is near enough; with items stacked
  // on one another, finding the nearest would visit them all). `hint`: an
  // item to start from, in the index's order (neighbouring points have near
  // neighbours, and a close first guess prunes most of the tree); it is set
  // to the item found. `measured` counts the boxes and items measured.
  struct Search {
    double x = 0.0;
    double y = 0.0;
    double reach = std::numeric_limits<double>::infinity();
    double enough = -std::numeric_limits<double>::infinity();
    bool useHint = false;
    size_t hint = 0;
    size_t measured = 0;
  };

  NearestIndex() = default;
  // The items' boxes, one per item. `inOrder`: the items run along a path,
  // each next to the one before, so neighbours in the list are neighbours
  // in the plane: the tree groups them as they come instead of sorting.
  // The index numbers the items in its own order (each leaf's items side by
  // side): arrange() puts the caller's lists in that order.
  // `leafSize`: the most items a leaf holds.
  explicit NearestIndex(std::vector<Box> boxes, Gap gap, bool inOrder = false, size_t leafSize = 4)
      : boxes_(std::move(boxes)),
        leafSize_(std::max<size_t>(leafSize, 1)),
        gap_(gap),
        inOrder_(inOrder) {
    const size_t n = boxes_.size();
    nodes_.reserve(2 * n / leafSize_ + 1);
    order_.resize(n);
    leafOf_.resize(n);
    std::iota(order_.begin(), order_.end(), size_t{0});
    if (n > 0) build(0, n);
    arrange(boxes_);
  }

  [[nodiscard]] size_t size() const { return boxes_.size(); }
  [[nodiscard]] const Box& box(size_t item) const { return boxes_[item]; }
  // The caller's number of the item at each place of the index's order.
  [[nodiscard]] const std::vector<size_t>& order() const { return order_; }

  // Puts a list given in the caller's order (one entry per item) in the
  // index's order. The entries move in place, cycle by cycle, so a million
  // of them are never held twice.
  template <typename T>
  void arrange(std::vector<T>& items) const {
    std::vector<bool> done(items.size(), false);
    for (size_t start = 0; start < items.size(); ++start) {
      if (done[start] || order_[start] == start) continue;
      T first = std::move(items[start]);
      size_t at = start;
      while (order_[at] != start) {
        items[at] = std::move(items[order_[at]]);
        done[at] = true;
        at = order_[at];
      }
      items[at] = std::move(first);
      done[at] = true;
    }
  }

  // The distance from (search.x, search.y) to the nearest item, at most
  // search.reach, or the first distance found within search.enough.
  // `measure` gives an item's distance with measure.distance(item); it may
  // have skip(item) (items left out of the search) and within(item, enough)
  // (a distance no more than enough, found cheaply, or more than enough when
  // none was found that way: the exact distance is then spared).
  template <typename Measure>
  double nearest(Search& s, const Measure& measure) const {
    return gap_ == Gap::Euclidean ? search<Gap::Euclidean>(s, measure)
                                  : search<Gap::LargerGap>(s, measure);
  }

 private:
  // A node's left child follows it in nodes_; `right` 0 marks a leaf (the
  // root is never a child). The items of a node are [begin, end).
  struct Node {
    Box box;
    uint32_t begin = 0, end = 0;
    uint32_t right = 0;
    uint32_t parent = 0;
  };

  template <Gap G, typename Measure>
  double search(Search& s, const Measure& measure) const {
    constexpr bool kSkips = requires(size_t i) {
      measure.skip(i);
    };
    constexpr bool kCheap = requires(size_t i, double e) {
      measure.within(i, e);
    };
    const auto skipped = [&](size_t i) {
      if constexpr (kSkips) return measure.skip(i);
      return false;
    };
    const size_t n = boxes_.size();
    double best = s.reach;
    const bool hinted = s.useHint && s.hint < n && !skipped(s.hint);
    if constexpr (kCheap) {
      if (hinted) {
        if (const double near = cheap(measure, s.hint, s); near <= s.enough) return near;
        // A point a little along from the last has its near item beside the
        // hint in the index's order more often than not: those are asked
        // before the tree is searched from its root.
        const double enoughKey = key<G>(s.enough);
        const size_t from = s.hint > leafSize_ ? s.hint - leafSize_ : 0;
        for (size_t i = from; i < n && i <= s.hint + leafSize_; ++i) {
          if (i == s.hint || skipped(i) || gapOf<G>(boxes_[i], s) > enoughKey) continue;
          if (const double d = cheap(measure, i, s); d <= s.enough) {
            s.hint = i;
            return d;
          }
        }
      }
    }
    // The hint's distance bounds the search from the start; the search does
    // not take it twice.
    const size_t first = s.hint;
    if (hinted) {
      if (const double d = measure.distance(first); d < best) best = d;
      if (best <= s.enough) return best;
    }
    double bestKey = key<G>(best);
    // Median splits keep the depth near log2(n / leaf size): 64 levels would
    // need more items than memory holds, and each level stacks one node.
    // A node's box is measured once, as its parent is opened: the nearer
    // child is opened next, the farther one stacked unless it is too far.
    struct Stacked {
      uint32_t node;
      double gap;
    };
    Stacked stack[128];
    size_t depth = 0;
    if (nodes_.empty()) return best;
    // Without early answers a hinted search starts at the hint's own leaf
    // and then climbs, opening the other child of each node above it: near
    // the hint most of the tree is left out by one box each, not two.
    const bool climbing = !kCheap && hinted;
    uint32_t child = climbing ? leafOf_[first] : 0;
    ++s.measured;
    stack[depth++] = {child, gapOf<G>(nodes_[child].box, s)};
    for (;;) {
      if (depth == 0) {
        if (!climbing || child == 0) break;
        const uint32_t parent = nodes_[child].parent;
        const uint32_t other = child == parent + 1 ? nodes_[parent].right : parent + 1;
        ++s.measured;
        child = parent;
        const double gap = gapOf<G>(nodes_[other].box, s);
        if (gap >= bestKey) continue;
        stack[depth++] = {other, gap};
      }
      const Stacked top = stack[--depth];
      if (top.gap >= bestKey) continue;
      uint32_t k = top.node;
      for (;;) {
        const Node& node = nodes_[k];
        if (node.right == 0) {
          for (size_t i = node.begin; i < node.end; ++i) {
            if ((hinted && i == first) || gapOf<G>(boxes_[i], s) >= bestKey || skipped(i)) continue;
            if constexpr (kCheap) {
              if (const double near = cheap(measure, i, s); near <= s.enough) {
                s.hint = i;
                return near;
              }
            } else {
              ++s.measured;
            }
            if (const double d = measure.distance(i); d < best) {
              best = d;
              bestKey = key<G>(d);
              s.hint = i;
              if (best <= s.enough) return best;
            }
          }
          break;
        }
        // The left child follows its parent in the list of nodes.
        s.measured += 2;
        const Stacked left{k + 1, gapOf<G>(nodes_[k + 1].box, s)};
        const Stacked right{node.right, gapOf<G>(nodes_[node.right].box, s)};
        const bool leftFirst = left.gap <= right.gap;
        const Stacked& nearer = leftFirst ? left : right;
        const Stacked& farther = leftFirst ? right : left;
        if (farther.gap < bestKey) stack[depth++] = farther;
        if (nearer.gap >= bestKey) break;
        k = nearer.node;
      }
    }
    return best;
  }

  template <typename Measure>
  static double cheap(const Measure& measure, size_t item, Search& s) {
    ++s.measured;
    return measure.within(item, s.enough);
  }

  // The box's distance from the search's point in the units key() puts a
  // distance in: squared (no square root needed) or as it is.
  template <Gap G>
  static double gapOf(const Box& b, const Search& s) {
    const double dx = std::max({b.minX - s.x, 0.0, s.x - b.maxX});
    const double dy = std::max({b.minY - s.y, 0.0, s.y - b.maxY});
    if constexpr (G == Gap::Euclidean) return dx * dx + dy * dy;
    return std::max(dx, dy);
  }
  template <Gap G>
  static double key(double d) {
    if constexpr (G == Gap::Euclidean) return d * d;
    return d;
  }

  // The tree over order_[begin, end): split at the median of the wider side.
  uint32_t build(size_t begin, size_t end) {
    const auto index = static_cast<uint32_t>(nodes_.size());
    Node node{{}, static_cast<uint32_t>(begin), static_cast<uint32_t>(end)};
    for (size_t i = begin; i < end; ++i) {
      const Box& b = boxes_[order_[i]];
      node.box.minX = std::min(node.box.minX, b.minX);
      node.box.minY = std::min(node.box.minY, b.minY);
      node.box.maxX = std::max(node.box.maxX, b.maxX);
      node.box.maxY = std::max(node.box.maxY, b.maxY);
    }
    nodes_.push_back(node);
    if (end - begin <= leafSize_) {
      for (size_t i = begin; i < end; ++i) leafOf_[i] = index;
      return index;
    }
    const bool alongX = node.box.maxX - node.box.minX >= node.box.maxY - node.box.minY;
    const size_t middle = begin + (end - begin) / 2;
    auto centre = [&](size_t i) {
      return alongX ? boxes_[i].minX + boxes_[i].maxX : boxes_[i].minY + boxes_[i].maxY;
    };
    if (!inOrder_) {
      std::nth_element(order_.begin() + static_cast<std::ptrdiff_t>(begin),
                       order_.begin() + static_cast<std::ptrdiff_t>(middle),
                       order_.begin() + static_cast<std::ptrdiff_t>(end),
                       [&](size_t u, size_t v) { return centre(u) < centre(v); });
    }
    nodes_[build(begin, middle)].parent = index;
    const uint32_t right = build(middle, end);
    nodes_[right].parent = index;
    nodes_[index].right = right;
    return index;
  }

  std::vector<Box> boxes_;
  std::vector<Node> nodes_;
  std::vector<size_t> order_;
  std::vector<uint32_t> leafOf_;  // the leaf holding each item
  size_t leafSize_ = 4;
  Gap gap_ = Gap::Euclidean;
  bool inOrder_ = false;
};

}  // namespace brevanto
