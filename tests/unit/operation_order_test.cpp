// The order of the operations' shapes: what a cut frees is done first,
// across operations; then Order; then one tool's shapes together.
#include "job/operation_order.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/elements.h"

namespace brevanto {
namespace {

using test::lineElement;

void square(std::vector<PathElement>& d, double x0, double y0, double x1, double y1, int32_t key) {
  d.push_back(lineElement(x0, y0, x1, y0, key));
  d.push_back(lineElement(x1, y0, x1, y1, key));
  d.push_back(lineElement(x1, y1, x0, y1, key));
  d.push_back(lineElement(x0, y1, x0, y0, key));
}

// A part (1) with a hole (2) and an engraved line (3) in it; another part
// (4) with a line (5) in it.
std::vector<PathElement> drawing() {
  std::vector<PathElement> d;
  square(d, 0, 0, 100, 100, 1);
  square(d, 10, 10, 20, 20, 2);
  d.push_back(lineElement(50, 50, 60, 60, 3));
  square(d, 200, 0, 210, 10, 4);
  d.push_back(lineElement(202, 2, 205, 5, 5));
  return d;
}

struct Op {
  double order;
  int32_t tool;
  bool cutsThrough;
  std::vector<int32_t> keys;
};

TEST(OperationOrder, FreedLastThenOrderThenTool) {
  const struct {
    const char* name;
    std::vector<Op> ops;
    std::vector<int32_t> expected;  // shape keys as cut
  } cases[] = {
      {"an engraving inside a part comes before it, against Order",
       {{0, 1, true, {1, 4}}, {1, 2, false, {3}}},
       {4, 3, 1}},
      {"engravings inside parts of a lower Order: all of them first, one tool change",
       {{0, 1, true, {1, 4}}, {1, 2, false, {3, 5}}},
       {3, 5, 1, 4}},
      {"a hole before its part in one operation", {{0, 1, true, {1, 2}}}, {2, 1}},
      {"equal Order: the tool in the spindle first",
       {{0, 1, true, {4}}, {0, 2, true, {2}}, {0, 1, false, {3}}},
       {4, 3, 2}},
      {"an engraved outline frees nothing", {{0, 1, false, {1}}, {1, 2, true, {2}}}, {1, 2}},
      {"a cut outline waits for its hole", {{0, 1, true, {1}}, {1, 2, true, {2}}}, {2, 1}},
  };
  const std::vector<PathElement> drawn = drawing();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::vector<PathElement>> lists(c.ops.size());
    std::vector<OperationShapes> ops;
    for (size_t i = 0; i < c.ops.size(); ++i) {
      for (const PathElement& e : drawn) {
        for (const int32_t k : c.ops[i].keys) {
          if (e.shapeKey == k) lists[i].push_back(e);
        }
      }
      ops.push_back({c.ops[i].order, c.ops[i].tool, c.ops[i].cutsThrough, &lists[i], {}});
    }
    std::vector<int32_t> got;
    for (const OrderedShape& s : operationCutOrder(drawn, ops)) {
      got.push_back(lists[s.operation][s.first].shapeKey);
    }
    EXPECT_EQ(got, c.expected);
  }
}

}  // namespace
}  // namespace brevanto
