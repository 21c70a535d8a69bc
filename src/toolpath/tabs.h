#pragma once

#include <cstdint>
#include <vector>

#include "toolpath/contour_path.h"

namespace brevanto {

// The stretch of toolpath a tab takes, in the direction of travel: the climb
// onto it, its flat top, the descent after it (mm along the path).
struct TabFootprint {
  double climb = 0.0;
  double top = 0.0;
  double descent = 0.0;
  [[nodiscard]] double total() const { return climb + top + descent; }
};

// Where the tops of up to `count` tabs are centred on the closed `path`
// (distances along it, ascending): spread evenly by length, each moved to the
// nearest place where its whole footprint lies clear of sharp corners, of the
// first `keepStart` and the last `keepEnd` mm (where the tool enters and
// leaves), and at least `gap` from the tab before. A tab that finds no such
// place is left out: a short path gets fewer.
std::vector<double> placeTabs(const ContourPath& path, int32_t count, const TabFootprint& foot,
                              double keepStart, double keepEnd, double gap);

// The number of tabs "Tabs=auto" puts on a path of `length` mm: one per
// `spacing`, at least one.
int32_t tabsBySpacing(double length, double spacing);

}  // namespace brevanto
