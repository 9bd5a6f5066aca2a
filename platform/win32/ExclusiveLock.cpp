#include "platform/ExclusiveLock.h"

#include <windows.h>

#include <cstddef>

namespace qx::platform {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && offsetof(SRWLOCK, Ptr) == 0,
              "the gate is an SRWLOCK, free when null (SRWLOCK_INIT)");
static_assert(sizeof(CONDITION_VARIABLE) == sizeof(void*) && offsetof(CONDITION_VARIABLE, Ptr) == 0,
              "the sleepers wait on a CONDITION_VARIABLE, empty when null");

PSRWLOCK Gate(void*& word) noexcept { return reinterpret_cast<PSRWLOCK>(&word); }
PCONDITION_VARIABLE Sleepers(void*& word) noexcept { return reinterpret_cast<PCONDITION_VARIABLE>(&word); }

}  // namespace

// A sleeper tests the state and goes to sleep inside the gate; a thread that gives the lock
// back seeing it contended passes through the gate before it wakes one, so it cannot wake
// between the sleeper's test and its sleep. A give-back that stored over the mark unseen ends
// the sleep's time (a timer tick at least: up to about 16 ms at Windows' usual resolution).
void ExclusiveLock::WaitForIt() noexcept {
  while (state_.exchange(kContended, std::memory_order_acquire) != kFree) {
    AcquireSRWLockExclusive(Gate(gate_));
    while (state_.load(std::memory_order_relaxed) == kContended &&
           SleepConditionVariableSRW(Sleepers(sleepers_), Gate(gate_), kSleepMillis, 0)) {
    }
    ReleaseSRWLockExclusive(Gate(gate_));
  }
}

void ExclusiveLock::WakeOneSleeper() noexcept {
  AcquireSRWLockExclusive(Gate(gate_));
  ReleaseSRWLockExclusive(Gate(gate_));
  WakeConditionVariable(Sleepers(sleepers_));
}

}  // namespace qx::platform
