#include "platform/ThreadSlot.h"

#include <windows.h>

namespace qx::platform {
namespace {

// Called by the system when a thread ends, on the object itself: nothing of the thread's
// emulated thread-local storage is touched, which may already be freed.
void WINAPI Destroy(void* object) { delete static_cast<ThreadOwned*>(object); }

// Where an object goes when no slot could be made: kept, never destroyed.
thread_local ThreadOwned* tUnslotted = nullptr;

}  // namespace

ThreadSlot::ThreadSlot() {
  DWORD index = FlsAlloc(&Destroy);
  usable_ = index != FLS_OUT_OF_INDEXES;
  key_ = usable_ ? index : 0;
}

ThreadOwned* ThreadSlot::Get() const noexcept {
  if (!usable_) return tUnslotted;
  return static_cast<ThreadOwned*>(FlsGetValue(key_));
}

void ThreadSlot::Set(ThreadOwned* object) noexcept {
  ThreadOwned* old = Get();
  if (old == object) return;
  if (usable_) {
    FlsSetValue(key_, object);
  } else {
    tUnslotted = object;
  }
  delete old;
}

}  // namespace qx::platform
