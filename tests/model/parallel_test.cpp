#include "model/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace tessmol {
namespace {

// Items arrive in index order whatever the number of jobs, each once.
TEST(ParallelOrdered, ConsumesEveryItemOnceInOrder) {
  for (int jobs : {1, 2, 3, 8}) {
    std::vector<size_t> before, consumed;
    ParallelOrdered<size_t>(
        100, jobs, [](size_t i, bool) { return i * i; }, [&](size_t i) { before.push_back(i); },
        [&](size_t i, size_t item) {
          EXPECT_EQ(item, i * i);
          consumed.push_back(i);
        });
    ASSERT_EQ(consumed.size(), 100u) << jobs;
    for (size_t i = 0; i < 100; ++i) {
      EXPECT_EQ(before[i], i);
      EXPECT_EQ(consumed[i], i);
    }
  }
}

// A slow consumer holds the workers back: besides the item being consumed, never more than
// twice the jobs are made (or being made) and not yet handed over, so a run over many files
// keeps few results in memory at once.
TEST(ParallelOrdered, WorkersRunAtMostTwiceTheJobsAhead) {
  constexpr int kJobs = 3;
  std::atomic<size_t> made{0};
  size_t consumedCount = 0, mostAhead = 0;
  ParallelOrdered<int>(
      60, kJobs,
      [&](size_t, bool) {
        made.fetch_add(1);
        return 0;
      },
      [](size_t) {},
      [&](size_t, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        // Items started but not yet handed over, this one included.
        mostAhead = std::max(mostAhead, made.load() - consumedCount);
        ++consumedCount;
      });
  EXPECT_EQ(consumedCount, 60u);
  EXPECT_LE(mostAhead, 2u * kJobs + 1);
  EXPECT_GE(mostAhead, 2u);  // the workers did run ahead: the bound is not a serial run
}

}  // namespace
}  // namespace tessmol
