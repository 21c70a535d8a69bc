#include "job/joining_loop.h"

#include <algorithm>
#include <cstddef>

namespace brevanto {
namespace {
// A pass whose every application removes something still stops here.
constexpr int32_t kIterationLimit = 500;
}  // namespace

int32_t runJoiningLoop(std::vector<PathElement>& elements, const JoiningPass& pass) {
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
    // 3./4. One application, over the list itself: the output never runs
    //       ahead of the input, and joining a million curves needs no
    //       second list of them.
    int32_t r = pass(elements.data(), elements.data(), &m);
    ++applications;
    // 5./6. The output, cut to the elements the pass reports, is the list.
    r = std::clamp<int32_t>(r, 0, m);
    elements.resize(static_cast<size_t>(r));
    // 7. Nothing joined: the list is settled.
    if (r == k) break;
    // 8. At most 499 applications.
    if (++iteration >= kIterationLimit) break;
  }
  return applications;
}

}  // namespace brevanto
