// Work on independent items, shared out in chunks among threads. The thread that calls
// works too and alone reports progress, so percentages arrive in order and on the thread
// that started the work.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
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

// Makes items 0 to count - 1 on `jobs` threads and hands them to the calling thread in
// index order: before(i) is called, then consume(i, item) once item i is ready. With one
// job everything runs on the calling thread and make(i, true) may report progress;
// helpers call make(i, false). Results therefore never depend on the number of jobs.
// Workers run at most `2 * jobs` items ahead of the consumer: a slow consumer (or one
// slow item) holds back the others instead of letting finished structures pile up, so
// memory stays flat however many items there are.
template <typename T, typename Make, typename Before, typename Consume>
void ParallelOrdered(size_t count, int jobs, Make make, Before before, Consume consume) {
  if (jobs <= 1 || count <= 1) {
    for (size_t i = 0; i < count; ++i) {
      before(i);
      consume(i, make(i, true));
    }
    return;
  }
  const size_t workerCount = std::min<size_t>(static_cast<size_t>(jobs), count);
  const size_t window = 2 * workerCount;
  std::vector<std::optional<T>> slots(window);  // item i waits in slot i % window
  std::mutex mutex;
  std::condition_variable ready, room;
  size_t next = 0, consumed = 0;  // guarded by mutex
  std::vector<std::thread> workers;
  for (size_t w = 0; w < workerCount; ++w) {
    workers.emplace_back([&]() {
      for (;;) {
        size_t i = 0;
        {
          std::unique_lock<std::mutex> lock(mutex);
          room.wait(lock, [&]() { return next >= count || next < consumed + window; });
          if (next >= count) return;
          i = next++;
        }
        T item = make(i, false);
        std::lock_guard<std::mutex> lock(mutex);
        slots[i % window].emplace(std::move(item));
        ready.notify_all();
      }
    });
  }
  for (size_t i = 0; i < count; ++i) {
    before(i);
    T item;
    {
      std::unique_lock<std::mutex> lock(mutex);
      ready.wait(lock, [&]() { return slots[i % window].has_value(); });
      item = std::move(*slots[i % window]);
      slots[i % window].reset();
      consumed = i + 1;
    }
    room.notify_all();
    consume(i, std::move(item));
  }
  for (std::thread& worker : workers) worker.join();
}

}  // namespace tessmol
