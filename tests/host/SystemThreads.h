#pragma once
// Script threads as the game starts them (CreateThread in the Windows build, pthreads on
// Linux), released together, with a bounded wait: a test of a lock that loses a wake-up then
// fails instead of hanging the run.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace qxtest {

using ThreadWork = void (*)(int thread);

namespace threads {

struct Shared {  // left to the threads when they do not return
  ThreadWork work;
  int count;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
};
struct Start {
  Shared* shared;
  int thread;
};

inline void Body(Start* start) {
  Shared& shared = *start->shared;
  int thread = start->thread;
  delete start;
  shared.started.fetch_add(1);
  while (shared.started.load() < shared.count) std::this_thread::yield();
  shared.work(thread);
  shared.finished.fetch_add(1);  // the last use of `shared`
}

#ifdef _WIN32
inline DWORD WINAPI Main(void* start) {
  Body(static_cast<Start*>(start));
  return 0;
}
inline bool Launch(Start* start) {
  HANDLE handle = CreateThread(nullptr, 0, &Main, start, 0, nullptr);
  if (handle == nullptr) return false;
  CloseHandle(handle);
  return true;
}
#else
inline void* Main(void* start) {
  Body(static_cast<Start*>(start));
  return nullptr;
}
inline bool Launch(Start* start) {
  pthread_t handle;
  if (pthread_create(&handle, nullptr, &Main, start) != 0) return false;
  pthread_detach(handle);
  return true;
}
#endif

}  // namespace threads

// Runs work(0) .. work(count - 1) on threads of their own and waits up to `limit` for all of
// them. False when some are still running then; they keep what they use (make it outlive the
// process) and the process ends under them.
[[nodiscard]] inline bool RunOnSystemThreads(int count, ThreadWork work, std::chrono::milliseconds limit) {
  auto* shared = new threads::Shared{work, count};
  for (int thread = 0; thread < count; ++thread) {
    if (!threads::Launch(new threads::Start{shared, thread})) return false;
  }
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (shared->finished.load() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  delete shared;
  return true;
}

}  // namespace qxtest
