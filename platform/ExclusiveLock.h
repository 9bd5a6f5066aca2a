#pragma once
// A lock for data that threads almost never find taken (a script file's read-ahead and
// written lines). Taking it untaken is one atomic instruction, inline, and giving it back
// untaken a plain store: a script reading a file takes it once per line, and a second atomic
// instruction there costs about a fifth of the line's whole time. A thread that finds it
// taken sleeps on the system's own primitives: a futex on Linux, a slim lock and condition
// variable on Windows. (The C++ library's atomic wait is not that in the Windows build:
// mingw's falls back to a pool of condition variables shared by address, whose notify can
// fall between a waiter's test and its sleep.)
//
// The plain store cannot tell whether a thread began to sleep just before it (the thread
// marks the lock contended between the giver's test and its store): such a sleeper is not
// woken, so every sleep is bounded (kSleepMillis) and the sleeper then tests the lock again.
// A thread that marked it before the giver's test is woken at once. Usable with
// std::lock_guard.
//
// valgrind's race detectors cannot see atomic instructions as a lock: in their build (which
// includes valgrind's helgrind.h) each hand-over is annotated for them, and they leave the
// lock's own word alone (only atomic instructions and the futex touch it, which drd would
// otherwise take for racing stores whenever a thread sleeps on it).
#include <atomic>

#ifdef ANNOTATE_HAPPENS_BEFORE
#define QX_LOCK_GIVEN_BACK(lock) ANNOTATE_HAPPENS_BEFORE(lock)
#define QX_LOCK_TAKEN(lock) ANNOTATE_HAPPENS_AFTER(lock)
#define QX_LOCK_WORD_UNCHECKED(word) VALGRIND_HG_DISABLE_CHECKING(&(word), sizeof(word))
#define QX_LOCK_WORD_CHECKED(word) VALGRIND_HG_ENABLE_CHECKING(&(word), sizeof(word))
#else
#define QX_LOCK_GIVEN_BACK(lock) ((void)0)
#define QX_LOCK_TAKEN(lock) ((void)0)
#define QX_LOCK_WORD_UNCHECKED(word) ((void)0)
#define QX_LOCK_WORD_CHECKED(word) ((void)0)
#endif

namespace qx::platform {

class ExclusiveLock {
 public:
  ExclusiveLock() noexcept { QX_LOCK_WORD_UNCHECKED(state_); }
  ~ExclusiveLock() { QX_LOCK_WORD_CHECKED(state_); }  // its memory may hold other data next
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  void lock() noexcept {
    int expected = kFree;
    if (!state_.compare_exchange_strong(expected, kTaken, std::memory_order_acquire)) WaitForIt();
    QX_LOCK_TAKEN(this);
  }
  [[nodiscard]] bool try_lock() noexcept {
    int expected = kFree;
    if (!state_.compare_exchange_strong(expected, kTaken, std::memory_order_acquire)) return false;
    QX_LOCK_TAKEN(this);
    return true;
  }
  void unlock() noexcept {
    QX_LOCK_GIVEN_BACK(this);
    if (state_.load(std::memory_order_relaxed) != kContended) {
      state_.store(kFree, std::memory_order_release);
      return;
    }
    state_.exchange(kFree, std::memory_order_release);  // still contended: only sleepers change it
    WakeOneSleeper();
  }

  // The longest a sleeper sleeps before it tests the lock again.
  static constexpr unsigned kSleepMillis = 1;

 private:
  friend struct ExclusiveLockProbe;  // the tests' view of the state

  static constexpr int kFree = 0;
  static constexpr int kTaken = 1;
  static constexpr int kContended = 2;  // taken, and a thread may sleep on it

  // Found taken: marks it contended and sleeps (kSleepMillis at most at a time) until it
  // takes it.
  void WaitForIt() noexcept;
  void WakeOneSleeper() noexcept;

  std::atomic<int> state_{kFree};
#ifdef _WIN32
  // Where sleepers test the state and sleep: an SRWLOCK and a CONDITION_VARIABLE, each one
  // pointer, free and empty when null.
  void* gate_ = nullptr;
  void* sleepers_ = nullptr;
#endif
};

}  // namespace qx::platform
