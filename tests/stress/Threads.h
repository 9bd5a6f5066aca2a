#pragma once
// Threads as the game makes them, and a barrier both race detectors and both C++ libraries
// handle. The game starts its script threads with the system's own call, not the C++
// library's, so the stress starts some threads each way: a plugin that counted on the C++
// library having set up a thread (its thread-locals, its exit handlers) fails on the others.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace stress {

class Barrier;

enum class ThreadKind {
  kLibrary,  // std::thread
  kSystem,   // CreateThread on Windows, pthread_create elsewhere
};

// One started thread. Join waits until its body has returned, meeting it at a barrier (so
// that the race detectors see everything the body did come before what the joining thread
// does next), and then until the thread has ended, its thread-local objects
// and the plugin's per-thread state released. Helgrind 3.19 on 32-bit glibc 2.36 fails an
// assertion in every join (it never sees the thread's creation under the name the join
// gives); with QX_STRESS_NO_JOIN set, Join stops after the body's end and the thread ends
// on its own.
class StressThread {
 public:
  StressThread() = default;
  StressThread(const StressThread&) = delete;
  StressThread& operator=(const StressThread&) = delete;
  ~StressThread();  // joins a thread that was not joined (or detached)

  // False when the system refused the thread.
  [[nodiscard]] bool Start(ThreadKind kind, std::function<void()> body);
  void Join();
  // Lets it run on, for good: a thread the process ends under.
  void Detach();

 private:
  // Waits for the thread's end (or lets it run on) and gives its handle back.
  void Release(bool join);

  void* handle_ = nullptr;  // the system's handle, or a std::thread
  ThreadKind kind_ = ThreadKind::kLibrary;
  std::shared_ptr<Barrier> ended_;  // the body's last step and Join meet here
};

// Every party waits until the last one arrives; reusable round after round. The race
// detectors take it as ordering everything before the last arrival before everything after
// each wait: a pthread barrier in the Linux build (helgrind 3.19 misreads this glibc's
// condition variables, but knows its barriers), a mutex and condition variable in the
// Windows build (std::barrier sleeps on an atomic wait, which mingw's library can lose).
class Barrier {
 public:
  explicit Barrier(int parties);
  ~Barrier();
  Barrier(const Barrier&) = delete;
  Barrier& operator=(const Barrier&) = delete;
  void Wait();

 private:
#ifdef _WIN32
  std::mutex mutex_;
  std::condition_variable woken_;
  int parties_;
  int arrived_ = 0;
  std::uint64_t generation_ = 0;
#else
  pthread_barrier_t barrier_;
#endif
};

}  // namespace stress
