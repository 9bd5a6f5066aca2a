#include "tests/stress/Threads.h"

#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace stress {
namespace {

using Body = std::function<void()>;

#ifdef _WIN32
DWORD WINAPI RunBody(void* body) {
  std::unique_ptr<Body> owned(static_cast<Body*>(body));
  (*owned)();
  return 0;
}
#else
void* RunBody(void* body) {
  std::unique_ptr<Body> owned(static_cast<Body*>(body));
  (*owned)();
  return nullptr;
}
#endif

// Read before main starts any thread. As a function's static it was first read by whichever
// thread joined first, and the others saw it through the compiler's guard alone, an order
// drd does not see (it reported the read).
const bool gJoinsWanted = std::getenv("QX_STRESS_NO_JOIN") == nullptr;

}  // namespace

StressThread::~StressThread() { Join(); }

bool StressThread::Start(ThreadKind kind, std::function<void()> work) {
  Join();
  kind_ = kind;
  ended_ = std::make_shared<Barrier>(2);
  std::function<void()> body = [ended = ended_, work = std::move(work)] {
    work();
    ended->Wait();
  };
  if (kind == ThreadKind::kLibrary) {
    handle_ = new std::thread(std::move(body));
    return true;
  }
  auto* owned = new Body(std::move(body));
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, 0, &RunBody, owned, 0, nullptr);
  if (thread == nullptr) {
    delete owned;
    return false;
  }
  handle_ = thread;
#else
  auto* thread = new pthread_t;
  if (pthread_create(thread, nullptr, &RunBody, owned) != 0) {
    delete owned;
    delete thread;
    return false;
  }
  handle_ = thread;
#endif
  return true;
}

void StressThread::Join() {
  if (handle_ == nullptr) return;
  ended_->Wait();
  Release(/*join=*/gJoinsWanted);
}

void StressThread::Detach() {
  if (handle_ != nullptr) Release(/*join=*/false);
}

void StressThread::Release(bool join) {
  if (kind_ == ThreadKind::kLibrary) {
    auto* thread = static_cast<std::thread*>(handle_);
    join ? thread->join() : thread->detach();
    delete thread;
  } else {
#ifdef _WIN32
    if (join) WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
#else
    auto* thread = static_cast<pthread_t*>(handle_);
    join ? pthread_join(*thread, nullptr) : pthread_detach(*thread);
    delete thread;
#endif
  }
  handle_ = nullptr;
}

#ifdef _WIN32
Barrier::Barrier(int parties) : parties_(parties) {}
Barrier::~Barrier() = default;

void Barrier::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t generation = generation_;
  if (++arrived_ == parties_) {
    arrived_ = 0;
    ++generation_;
    woken_.notify_all();
    return;
  }
  woken_.wait(lock, [&] { return generation_ != generation; });
}
#else
Barrier::Barrier(int parties) { pthread_barrier_init(&barrier_, nullptr, static_cast<unsigned>(parties)); }
Barrier::~Barrier() { pthread_barrier_destroy(&barrier_); }
void Barrier::Wait() { pthread_barrier_wait(&barrier_); }
#endif

}  // namespace stress
