#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/path_element.h"

namespace brevanto {

// One operation's shapes as it will write them, for the order across
// operations.
struct OperationShapes {
  double order = 0.0;  // lower first
  int32_t tool = 0;
  bool cutsThrough = true;  // its closed shapes are cut free (a profile, not an engraving)
  const std::vector<PathElement>* elements = nullptr;  // its shapes, in its own cutting order
  // Per shape of `elements`: the key of the drawn shape it cuts (a toolpath
  // beside the line may have a key of its own); empty: each shape's own key.
  std::vector<int32_t> drawnKeys;
};

// One shape of one operation, where it comes in the program.
struct OrderedShape {
  size_t operation = 0;
  size_t shape = 0;  // the operation's shape number (its ShapeEntry)
  size_t first = 0;  // its elements in the operation's list
  int32_t count = 0;
};

// The order in which the operations' shapes are cut. A closed shape cut
// through comes only after every selected shape that lies inside it
// (whatever operation cuts that one): an engraving inside a part, a hole in
// it, is done while the part is still held. Within that rule, lower Order
// first (a shape that must come before one of a lower Order takes that
// Order); among shapes of equal Order, those of the tool in the spindle
// first, to save tool changes; otherwise each operation's own order, and
// the operations in the order given. `drawn` is the job's joined list, for
// which shape lies inside which.
std::vector<OrderedShape> operationCutOrder(const std::vector<PathElement>& drawn,
                                            const std::vector<OperationShapes>& operations);

}  // namespace brevanto
