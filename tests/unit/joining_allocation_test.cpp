// A joining application is one walk over caller-owned arrays: it must not
// touch the heap, however long the list. Counted by replacing the global
// allocation functions for this test binary; only allocations made while
// `counting` is set are counted.
// GCC sees std::free() pairing with operator new once inlined, not knowing
// that this file replaces both.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "geometry/arc_joining.h"
#include "geometry/line_joining.h"
#include "platform/settings_store.h"
#include "support/elements.h"
#include "support/settings_source.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace brevanto {
namespace {

TEST(JoiningAllocation, AnApplicationAllocatesNothing) {
  // Arcs of one circle in many pieces, lines along one direction: both passes
  // join all the way along.
  std::vector<PathElement> list;
  for (int i = 0; i < 1000; ++i) {
    const double from = -0.001 * i;
    const double to = from - 0.001;
    list.push_back(test::arcElement(100 * std::cos(from), 100 * std::sin(from), 100 * std::cos(to),
                                    100 * std::sin(to), 0, 0, 100, 0.1));
  }
  for (int i = 0; i < 1000; ++i) list.push_back(test::lineElement(i, 0, i + 1, 0, 2));
  list.emplace_back();
  const auto count = static_cast<int32_t>(list.size());
  std::vector<PathElement> output(list.size() + 1);
  // The counter itself works.
  counting = true;
  auto* probe = new std::vector<int>(10);
  counting = false;
  delete probe;
  EXPECT_EQ(allocations, 2);

  for (const auto pass : {ArcMerge, LineMerge}) {
    allocations = 0;
    counting = true;
    const int32_t result = pass(list.data(), output.data(), &count, 3.0);
    counting = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_LT(result, count - 1);  // something was joined
  }
}

}  // namespace
}  // namespace brevanto
