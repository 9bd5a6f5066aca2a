#pragma once
// One heap object per thread, destroyed when its thread ends, however the thread was started
// (the game starts its script threads with the system's own call, not the C++ library's).
//
// Use this, not a thread_local object with a destructor, for anything a thread must give
// back when it ends: the Windows build's thread-locals are emulated, and in the DLL such a
// destructor runs after the thread's thread-local storage has been freed, on the freed copy.
// The object's destructor must not use thread-locals either: on a thread the C++ library
// started, they are gone by then.
#include <cstdint>

namespace qx::platform {

class ThreadOwned {
 public:
  virtual ~ThreadOwned() = default;
};

class ThreadSlot {
 public:
  // Takes one of the system's per-thread slots. Never destroyed: threads may end at any time.
  ThreadSlot();
  ThreadSlot(const ThreadSlot&) = delete;
  ThreadSlot& operator=(const ThreadSlot&) = delete;

  // The calling thread's object; null before the first Set.
  [[nodiscard]] ThreadOwned* Get() const noexcept;
  // Gives the calling thread `object` (owned from now on), destroying the one it had. When
  // the system had no slot to give, or could not store into it (no memory for the thread's
  // slots), the object is still kept, one per thread, but then never destroyed.
  void Set(ThreadOwned* object) noexcept;

 private:
  std::uint32_t key_ = 0;
  bool usable_ = false;
};

}  // namespace qx::platform
