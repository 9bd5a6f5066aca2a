#include "platform/ExclusiveLock.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qx::platform {
namespace {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "the futex is the state word itself");

int* Word(std::atomic<int>& state) noexcept { return reinterpret_cast<int*>(&state); }

}  // namespace

void ExclusiveLock::WaitForIt() noexcept {
  // The kernel sleeps only while the word still reads kContended: a give-back before that
  // makes the call return at once.
  while (state_.exchange(kContended, std::memory_order_acquire) != kFree) {
    syscall(SYS_futex, Word(state_), FUTEX_WAIT_PRIVATE, kContended, nullptr, nullptr, 0);
  }
}

void ExclusiveLock::WakeOneSleeper() noexcept {
  syscall(SYS_futex, Word(state_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace qx::platform
