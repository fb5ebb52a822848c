// Work on independent items, shared out in chunks among threads. The thread that calls
// works too and alone reports progress, so percentages arrive in order and on the thread
// that started the work.
#pragma once

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "model/feedback.h"

namespace tessmol {

// Calls body(begin, end, scratch) for consecutive chunks of [0, count), each thread with
// a Scratch of its own. `threads` 0 uses one per core. Every item must depend only on the
// input, so the result does not depend on the number of threads.
template <typename Scratch, typename Body>
void ParallelChunks(size_t count, size_t chunk, int threads, Feedback& feedback, Body body) {
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  auto work = [&](Scratch& scratch) {
    const size_t begin = next.fetch_add(chunk, std::memory_order_relaxed);
    if (begin >= count) return false;
    const size_t end = std::min(begin + chunk, count);
    body(begin, end, scratch);
    done.fetch_add(end - begin, std::memory_order_release);
    return true;
  };
  unsigned threadCount =
      threads > 0 ? static_cast<unsigned>(threads) : std::max(1u, std::thread::hardware_concurrency());
  threadCount = static_cast<unsigned>(std::min<size_t>(threadCount, std::max<size_t>(1, count / chunk)));
  std::vector<std::thread> helpers;
  for (unsigned t = 1; t < threadCount; ++t) {
    helpers.emplace_back([&work]() {
      Scratch scratch;
      while (work(scratch)) {
      }
    });
  }
  int lastPercent = -1;
  auto report = [&]() {
    if (count == 0) return;
    const int percent = static_cast<int>(100 * done.load(std::memory_order_acquire) / count);
    if (percent > lastPercent) {
      feedback.SetProgress(percent);
      lastPercent = percent;
    }
  };
  report();
  Scratch scratch;
  while (work(scratch)) report();
  for (std::thread& helper : helpers) helper.join();
  report();
}

}  // namespace tessmol
