#include "platform/ThreadSlot.h"

#include <pthread.h>

namespace qx::platform {
namespace {

void Destroy(void* object) { delete static_cast<ThreadOwned*>(object); }

// Where an object goes when no slot could be made: kept, never destroyed.
thread_local ThreadOwned* tUnslotted = nullptr;

}  // namespace

ThreadSlot::ThreadSlot() {
  pthread_key_t key;
  usable_ = pthread_key_create(&key, &Destroy) == 0;
  key_ = usable_ ? static_cast<std::uint32_t>(key) : 0;
}

ThreadOwned* ThreadSlot::Get() const noexcept {
  if (!usable_) return tUnslotted;
  return static_cast<ThreadOwned*>(pthread_getspecific(static_cast<pthread_key_t>(key_)));
}

void ThreadSlot::Set(ThreadOwned* object) noexcept {
  ThreadOwned* old = Get();
  if (old == object) return;
  if (usable_) {
    pthread_setspecific(static_cast<pthread_key_t>(key_), object);
  } else {
    tUnslotted = object;
  }
  delete old;
}

}  // namespace qx::platform
