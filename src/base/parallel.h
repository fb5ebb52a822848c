// Work on independent items, shared out in chunks among threads. The thread that calls
// works too and alone reports progress, so percentages arrive in order and on the thread
// that started the work.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/feedback.h"

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
namespace detail {

// The items ParallelOrdered's workers have made and its caller has not yet taken, one slot
// per place in the window: a worker claims item i only while i is fewer than `window`
// places past the next item the caller will take.
template <typename T>
class OrderedSlots {
 public:
  OrderedSlots(size_t count, size_t window)
      : count_(count), window_(window), slots_(window), failures_(window) {}

  // The next item to make, waiting for room in the window; false when none is left.
  bool Claim(size_t& i) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [&]() { return next_ >= count_ || next_ < consumed_ + window_; });
    if (next_ >= count_) return false;
    i = next_++;
    return true;
  }

  // Item i, or the failure that escaped its making.
  void Put(size_t i, std::optional<T>&& item, std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure) {
      failures_[i % window_] = failure;
      slots_[i % window_].emplace();
    } else {
      slots_[i % window_] = std::move(item);
    }
    ready_.notify_all();
  }

  // Item i once it is made; its failure is rethrown here, on the caller's thread.
  T Take(size_t i) {
    T item;
    std::exception_ptr failure;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [&]() { return slots_[i % window_].has_value(); });
      item = std::move(*slots_[i % window_]);
      slots_[i % window_].reset();
      std::swap(failure, failures_[i % window_]);
      consumed_ = i + 1;
    }
    room_.notify_all();
    if (failure) std::rethrow_exception(failure);
    return item;
  }

  // No item is claimed after this; those being made are still put.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      next_ = count_;
    }
    room_.notify_all();
  }

 private:
  const size_t count_, window_;
  std::vector<std::optional<T>> slots_;  // item i waits in slot i % window
  std::vector<std::exception_ptr> failures_;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  size_t next_ = 0, consumed_ = 0;  // guarded by mutex_
};

}  // namespace detail

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
  detail::OrderedSlots<T> slots(count, 2 * workerCount);
  std::vector<std::thread> workers;
  for (size_t w = 0; w < workerCount; ++w) {
    workers.emplace_back([&]() {
      size_t i = 0;
      while (slots.Claim(i)) {
        // A failure that escapes make() is handed over in the item's place, so that it
        // reaches the caller's thread in order instead of ending the program.
        std::optional<T> item;
        std::exception_ptr failure;
        try {
          item.emplace(make(i, false));
        } catch (...) {
          failure = std::current_exception();
        }
        slots.Put(i, std::move(item), failure);
      }
    });
  }
  // Stops the workers after the items they are making; on the way out of a failure too.
  auto finish = [&]() {
    slots.Stop();
    for (std::thread& worker : workers) {
      if (worker.joinable()) worker.join();
    }
  };
  try {
    for (size_t i = 0; i < count; ++i) {
      before(i);
      consume(i, slots.Take(i));
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace tessmol
