#include "platform/ThreadSlot.h"

#include <windows.h>

namespace qx::platform {
namespace {

// Called by the system when a thread ends, on the object itself: nothing of the thread's
// emulated thread-local storage is touched, which may already be freed.
void WINAPI Destroy(void* object) { delete static_cast<ThreadOwned*>(object); }

// Where an object goes when no slot could be made or stored into: kept, never destroyed.
// One per thread, for the slot that put it there (the plugin has one slot).
struct Unslotted {
  const ThreadSlot* slot;
  ThreadOwned* object;
};
thread_local Unslotted tUnslotted{nullptr, nullptr};

}  // namespace

ThreadSlot::ThreadSlot() {
  DWORD index = FlsAlloc(&Destroy);
  usable_ = index != FLS_OUT_OF_INDEXES;
  key_ = usable_ ? index : 0;
}

ThreadOwned* ThreadSlot::Get() const noexcept {
  // The system's slot first: a thread whose object is stored there touches no thread-local.
  if (usable_) {
    if (auto* stored = static_cast<ThreadOwned*>(FlsGetValue(key_))) return stored;
  }
  return tUnslotted.slot == this ? tUnslotted.object : nullptr;
}

void ThreadSlot::Set(ThreadOwned* object) noexcept {
  ThreadOwned* old = Get();
  if (old == object) return;
  if (usable_ && FlsSetValue(key_, object)) {
    if (tUnslotted.slot == this) tUnslotted = {nullptr, nullptr};
  } else {
    // Emptying a slot that held an object cannot fail: the thread's storage exists.
    if (usable_) (void)FlsSetValue(key_, nullptr);
    tUnslotted = {this, object};
  }
  delete old;
}

}  // namespace qx::platform
