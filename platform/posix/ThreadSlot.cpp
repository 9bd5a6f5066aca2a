#include "platform/ThreadSlot.h"

#include <pthread.h>

namespace qx::platform {
namespace {

void Destroy(void* object) { delete static_cast<ThreadOwned*>(object); }

// Where an object goes when no slot could be made or stored into: kept, never destroyed.
// One per thread, for the slot that put it there (the plugin has one slot).
struct Unslotted {
  const ThreadSlot* slot;
  ThreadOwned* object;
};
thread_local Unslotted tUnslotted{nullptr, nullptr};

}  // namespace

ThreadSlot::ThreadSlot() {
  pthread_key_t key;
  usable_ = pthread_key_create(&key, &Destroy) == 0;
  key_ = usable_ ? static_cast<std::uint32_t>(key) : 0;
}

ThreadOwned* ThreadSlot::Get() const noexcept {
  // The system's slot first: a thread whose object is stored there touches no thread-local.
  if (usable_) {
    if (auto* stored = static_cast<ThreadOwned*>(pthread_getspecific(static_cast<pthread_key_t>(key_)))) return stored;
  }
  return tUnslotted.slot == this ? tUnslotted.object : nullptr;
}

void ThreadSlot::Set(ThreadOwned* object) noexcept {
  ThreadOwned* old = Get();
  if (old == object) return;
  if (usable_ && pthread_setspecific(static_cast<pthread_key_t>(key_), object) == 0) {
    if (tUnslotted.slot == this) tUnslotted = {nullptr, nullptr};
  } else {
    // Emptying a slot that held an object cannot fail: the thread's storage exists.
    if (usable_) (void)pthread_setspecific(static_cast<pthread_key_t>(key_), nullptr);
    tUnslotted = {this, object};
  }
  delete old;
}

}  // namespace qx::platform
