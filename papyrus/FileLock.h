#pragma once
// The lock of one open script file. Script threads take it for every line they read or
// write, almost never finding it taken, and hold it across the file's disk access when a
// batch of lines is read or written. Taking and giving it back untaken is one atomic
// exchange each; a thread that finds it taken sleeps until it is given back. Usable with
// std::lock_guard and std::unique_lock.
#include <atomic>

namespace qx::io {

class FileLock {
 public:
  void lock() noexcept {
    int expected = kFree;
    if (state_.compare_exchange_strong(expected, kTaken, std::memory_order_acquire)) return;
    // Taken: mark it contended, so that the holder wakes a sleeper when it gives it back.
    while (state_.exchange(kContended, std::memory_order_acquire) != kFree) {
      state_.wait(kContended, std::memory_order_relaxed);
    }
  }
  [[nodiscard]] bool try_lock() noexcept {
    int expected = kFree;
    return state_.compare_exchange_strong(expected, kTaken, std::memory_order_acquire);
  }
  void unlock() noexcept {
    if (state_.exchange(kFree, std::memory_order_release) == kContended) state_.notify_one();
  }

 private:
  static constexpr int kFree = 0;
  static constexpr int kTaken = 1;
  static constexpr int kContended = 2;
  std::atomic<int> state_{kFree};
};

}  // namespace qx::io
