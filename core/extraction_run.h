// One extraction run's shared state: its observer, the totals behind the progress bar and
// the abort flag. The worker (or zsfx's command) reports through it; the window, or a
// signal handler, stops it with abort().
#pragma once

#include <atomic>
#include <cstdint>

#include "core/run_observer.h"

class ExtractionRun {
 public:
  explicit ExtractionRun(RunObserver& observer = quietObserver()) : observer_(&observer) {}
  ExtractionRun(const ExtractionRun&) = delete;
  ExtractionRun& operator=(const ExtractionRun&) = delete;

  RunObserver& observer() const { return *observer_; }

  // The beginning of a run: the progress starts at 0 of totalBytes (a sum of original sizes;
  // 64-bit, since an archive may hold far more than 4 GiB). The abort flag is left alone: an
  // abort pressed before the worker begins must not be lost.
  void begin(uint64_t totalBytes);
  // The current member has produced memberBytesDone bytes: tells the observer when the
  // whole-run percentage changes.
  void progress(uint64_t memberBytesDone);
  // A member is done (or passed over): its original size counts as done.
  void memberDone(uint64_t originalSize) { doneBytes_ += originalSize; }
  uint64_t doneBytes() const { return doneBytes_; }

  // Polled after every block the decoders produce, so relaxed: the flag only ever goes from
  // 1 to 0, and seeing it one block late costs nothing.
  bool keepGoing() const { return running_.load(std::memory_order_relaxed) != 0; }
  bool aborted() const { return running_.load() == 0; }
  // From any thread, and from a signal handler: the flag is a lock-free atomic.
  void abort() { running_.store(0); }

 private:
  RunObserver* observer_;
  uint64_t totalBytes_ = 0;  // written and read by the worker only
  uint64_t doneBytes_ = 0;
  uint32_t lastPercent_ = 0;
  std::atomic<int32_t> running_{1};
  static_assert(std::atomic<int32_t>::is_always_lock_free, "abort() is called from signal handlers");
};
