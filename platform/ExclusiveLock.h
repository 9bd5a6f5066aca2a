#pragma once
// A lock whose sleeping and waking are the system's own: a slim reader/writer lock taken
// exclusively on Windows, a pthread mutex elsewhere. Neither can lose a wake-up, taking and
// giving it back untaken is one interlocked instruction each, and valgrind's race detectors
// know the pthread one as a lock. (The C++ library's atomic wait is none of these in the
// Windows build: mingw's falls back to a shared pool of condition variables that can miss a
// notify between the waiter's test and its sleep.) Usable with std::lock_guard.
#ifndef _WIN32
#include <pthread.h>
#endif

namespace qx::platform {

class ExclusiveLock {
 public:
  ExclusiveLock() noexcept = default;
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

#ifdef _WIN32
  ~ExclusiveLock() = default;  // a slim lock holds no system resource
  void lock() noexcept;
  [[nodiscard]] bool try_lock() noexcept;
  void unlock() noexcept;

 private:
  void* slim_ = nullptr;  // the SRWLOCK: one pointer, null when free
#else
  ~ExclusiveLock() { pthread_mutex_destroy(&mutex_); }
  void lock() noexcept { pthread_mutex_lock(&mutex_); }
  [[nodiscard]] bool try_lock() noexcept { return pthread_mutex_trylock(&mutex_) == 0; }
  void unlock() noexcept { pthread_mutex_unlock(&mutex_); }

 private:
  pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

}  // namespace qx::platform
