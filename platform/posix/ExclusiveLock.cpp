#include "platform/ExclusiveLock.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace qx::platform {
namespace {

static_assert(sizeof(std::atomic<int>) == sizeof(int), "the futex is the state word itself");
static_assert(sizeof(timespec) == 2 * sizeof(long), "SYS_futex takes the kernel's timespec of two longs");

int* Word(std::atomic<int>& state) noexcept { return reinterpret_cast<int*>(&state); }

}  // namespace

void ExclusiveLock::WaitForIt() noexcept {
  // The kernel sleeps only while the word still reads kContended: a give-back before that
  // makes the call return at once; one that stored over the mark unseen ends the sleep's time.
  static constexpr timespec kSleep{0, kSleepMillis * 1'000'000L};
  while (state_.exchange(kContended, std::memory_order_acquire) != kFree) {
    syscall(SYS_futex, Word(state_), FUTEX_WAIT_PRIVATE, kContended, &kSleep, nullptr, 0);
  }
}

void ExclusiveLock::WakeOneSleeper() noexcept {
  syscall(SYS_futex, Word(state_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}

}  // namespace qx::platform
