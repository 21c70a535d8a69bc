#include "job/joining_loop.h"

#include <algorithm>
#include <cstddef>

namespace brevanto {
namespace {
// A pass whose every application removes something still stops here.
constexpr int32_t kIterationLimit = 500;
}  // namespace

int32_t runJoiningLoop(std::vector<PathElement>& elements, std::vector<PathElement>& scratch,
                       const JoiningPass& pass, int32_t outputRoom) {
  int32_t applications = 0;
  for (int32_t iteration = 1;;) {
    const auto k = static_cast<int32_t>(elements.size());
    // 1. Close the input with one all-zero element.
    elements.emplace_back();
    const int32_t m = k + 1;
    // 2. Fewer than two elements: nothing can be joined.
    if (m <= 2) {
      elements.pop_back();
      break;
    }
    // 3. Fresh all-zero output room.
    scratch.assign(static_cast<size_t>(m) + static_cast<size_t>(outputRoom), PathElement{});
    // 4. One application.
    int32_t r = pass(elements.data(), scratch.data(), &m);
    ++applications;
    // 5./6. The output, cut to the elements the pass reports, becomes the
    //       list. Swapping keeps both buffers' capacity for the next round.
    r = std::clamp<int32_t>(r, 0, static_cast<int32_t>(scratch.size()));
    scratch.resize(static_cast<size_t>(r));
    elements.swap(scratch);
    // 7. Nothing joined: the list is settled.
    if (r == k) break;
    // 8. At most 499 applications.
    if (++iteration >= kIterationLimit) break;
  }
  return applications;
}

}  // namespace brevanto
