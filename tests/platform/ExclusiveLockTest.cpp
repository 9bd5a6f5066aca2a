// The lock of a script file, taken by many threads that the system starts as the game starts
// its script threads (CreateThread on Windows). A lost wake-up leaves a thread asleep for
// good: the wait for them is bounded, and a hang is a failure, never a run that hangs.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ExclusiveLock.h"
#include "tests/host/SystemThreads.h"

namespace {

using qx::platform::ExclusiveLock;

// Two threads to each lock: a wake-up lost near the end leaves the last one asleep for good.
constexpr int kThreads = 4;
constexpr int kRounds = 400000;

// Never destroyed: after a hang, threads still sleep on them when the process ends.
ExclusiveLock* const gLocks = new ExclusiveLock[2];
long gHeld[2] = {};  // changed only under its lock

void TakeAndGiveBack(int thread) {
  ExclusiveLock& lock = gLocks[thread % 2];
  for (int round = 0; round < kRounds; ++round) {
    if (round % 16 == 0 && lock.try_lock()) {
      ++gHeld[thread % 2];
      lock.unlock();
      continue;
    }
    lock.lock();
    ++gHeld[thread % 2];
    lock.unlock();
  }
}

TEST(ExclusiveLock, ManySystemThreadsTakeItWithoutALostWakeUpOrASharedHold) {
  ASSERT_TRUE(qxtest::RunOnSystemThreads(kThreads, &TakeAndGiveBack, std::chrono::seconds(20)))
      << "threads still waiting for the lock after 20 s: a lost wake-up";
  for (int which = 0; which < 2; ++which) {
    std::lock_guard<ExclusiveLock> orderAfterTheThreads(gLocks[which]);
    EXPECT_EQ(gHeld[which], long{kThreads / 2} * kRounds);
  }
}

TEST(ExclusiveLock, TryLockFailsWhileHeldAndSucceedsAfter) {
  ExclusiveLock lock;
  ASSERT_TRUE(lock.try_lock());
  EXPECT_FALSE(lock.try_lock());
  std::thread other([&] { EXPECT_FALSE(lock.try_lock()); });
  other.join();
  lock.unlock();
  ASSERT_TRUE(lock.try_lock());
  lock.unlock();
}

}  // namespace
