// The lock of a script file, taken by many threads that the system starts as the game starts
// its script threads (CreateThread on Windows). A sleeper never woken would sleep for good
// without the bound on its sleep: the wait for the threads is bounded too, and a hang is a
// failure, never a run that hangs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/ExclusiveLock.h"
#include "tests/host/SystemThreads.h"

namespace qx::platform {

// Puts the lock in the state a give-back can race into: taken, its contended mark stored over
// as a sleeper marks it between the giver's test and its plain store.
struct ExclusiveLockProbe {
  static bool IsContended(const ExclusiveLock& lock) { return lock.state_.load() == ExclusiveLock::kContended; }
  static void ForgetTheSleeper(ExclusiveLock& lock) { lock.state_.store(ExclusiveLock::kTaken); }
};

}  // namespace qx::platform

namespace {

using qx::platform::ExclusiveLock;
using qx::platform::ExclusiveLockProbe;

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

ExclusiveLock* const gRaced = new ExclusiveLock;  // never destroyed, as gLocks
std::atomic<bool> gRacedTaken{false};

TEST(ExclusiveLock, ASleeperTheGiveBackDidNotSeeStillTakesItAfterItsSleep) {
  gRaced->lock();
  std::thread sleeper([] {
    std::lock_guard<ExclusiveLock> guard(*gRaced);
    gRacedTaken = true;
  });
  while (!ExclusiveLockProbe::IsContended(*gRaced)) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // asleep by now, most likely
  ExclusiveLockProbe::ForgetTheSleeper(*gRaced);
  gRaced->unlock();  // the plain store: no wake-up
  for (int waited = 0; !gRacedTaken && waited < 5000; ++waited) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (!gRacedTaken) {
    sleeper.detach();  // asleep for good: the test fails rather than hangs
    FAIL() << "the sleeper never took the lock";
  }
  sleeper.join();
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
