#include "job/joining_loop.h"

#include <gtest/gtest.h>

#include <vector>

namespace brevanto {
namespace {

// A pass that drops the first element at every application, so the count
// never settles.
int32_t dropFirst(const PathElement* input, PathElement* output, const int32_t* count) {
  for (int32_t i = 1; i < *count; ++i) output[i - 1] = input[i];
  return *count - 2;
}

int32_t copyAll(const PathElement* input, PathElement* output, const int32_t* count) {
  for (int32_t i = 0; i < *count; ++i) output[i] = input[i];
  return *count - 1;
}

std::vector<PathElement> numbered(int32_t n) {
  std::vector<PathElement> list(static_cast<size_t>(n));
  for (int32_t i = 0; i < n; ++i) list[static_cast<size_t>(i)].shapeKey = i + 1;
  return list;
}

TEST(JoiningLoop, StopsAfter499ApplicationsWhileTheCountStillFalls) {
  std::vector<PathElement> list = numbered(600);
  EXPECT_EQ(runJoiningLoop(list, dropFirst), 499);
  ASSERT_EQ(list.size(), 101U);
  EXPECT_EQ(list.front().shapeKey, 500);
  EXPECT_EQ(list.back().shapeKey, 600);  // the closing zero element is gone
}

TEST(JoiningLoop, EndsWhenTheListIsDownToOneElement) {
  std::vector<PathElement> list = numbered(5);
  EXPECT_EQ(runJoiningLoop(list, dropFirst), 4);
  ASSERT_EQ(list.size(), 1U);
  EXPECT_EQ(list[0].shapeKey, 5);
}

TEST(JoiningLoop, FirstApplicationWithoutChangeIsTheLast) {
  std::vector<PathElement> list = numbered(3);
  EXPECT_EQ(runJoiningLoop(list, copyAll), 1);
  EXPECT_EQ(list.size(), 3U);
}

TEST(JoiningLoop, FewerThanTwoElementsAreNotPassed) {
  for (const int32_t n : {0, 1}) {
    std::vector<PathElement> list = numbered(n);
    EXPECT_EQ(runJoiningLoop(list, copyAll), 0);
    EXPECT_EQ(list.size(), static_cast<size_t>(n));
  }
}

}  // namespace
}  // namespace brevanto
