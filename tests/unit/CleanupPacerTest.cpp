// The pauses of a health-gating cleanup pass: what each batch owes, when it is slept off and
// how a sleep that overshoots pays for the batches after it, on each system's granularity.
#include <gtest/gtest.h>

#include <vector>

#include "fixes/CleanupPacer.h"

namespace {

using qx::CleanupPacer;
using Micros = CleanupPacer::Micros;

// A pass of `batches` batches on a system whose every sleep of `asked` takes asked + `over`
// (at least `shortest`): the sleeps asked for, and the pass's pause time in all.
struct Pass {
  std::vector<Micros> asked;
  Micros paused = 0;
};
Pass RunPass(CleanupPacer pacer, int batches, Micros over, Micros shortest = 0) {
  Pass pass;
  for (int batch = 1; batch < batches; ++batch) {  // a pause between two batches only
    Micros due = pacer.AfterBatch();
    if (due == 0) continue;
    pass.asked.push_back(due);
    Micros took = due + over < shortest ? shortest : due + over;
    pacer.Slept(took);
    pass.paused += took;
  }
  return pass;
}

TEST(CleanupPacer, AFineGrainedSleepPausesAfterEveryBatch) {
  Pass pass = RunPass(CleanupPacer(200, 50), 1001, 0);
  ASSERT_EQ(pass.asked.size(), 1000u);
  for (Micros asked : pass.asked) EXPECT_EQ(asked, 200);
  EXPECT_EQ(pass.paused, 200'000);
}

TEST(CleanupPacer, SleepsThatRunLongPayForTheNextPauses) {
  // Linux: 60 us of slack on every sleep. The pass still pauses 200 us per batch in all,
  // give or take one sleep.
  Pass pass = RunPass(CleanupPacer(200, 50), 1001, 60);
  EXPECT_GE(pass.paused, 200'000 - 50);
  EXPECT_LE(pass.paused, 200'000 + 260);
  for (Micros asked : pass.asked) EXPECT_EQ(asked % 50, 0);
}

TEST(CleanupPacer, WholeMillisecondSleepsComeEveryFifthBatch) {
  // Windows: nothing shorter than a millisecond; 200 us a batch is one every fifth batch.
  Pass pass = RunPass(CleanupPacer(200, 1000), 1001, 0, 1000);
  ASSERT_EQ(pass.asked.size(), 200u);
  for (Micros asked : pass.asked) EXPECT_EQ(asked, 1000);
  EXPECT_EQ(pass.paused, 200'000);
}

TEST(CleanupPacer, ATimerTickPerSleepStillEndsThePassInItsPauseTime) {
  // Windows' default timer: every sleep takes a tick of 15.6 ms. A pause per batch would
  // make 1000 batches take 15.6 s; paced, the pass pauses its 200 ms and at most a tick more.
  Pass pass = RunPass(CleanupPacer(200, 1000), 1001, 0, 15'600);
  EXPECT_GE(pass.paused, 200'000 - 1000);
  EXPECT_LE(pass.paused, 200'000 + 15'600);
  EXPECT_LE(pass.asked.size(), 14u);
}

TEST(CleanupPacer, CreditFromOneLongStopIsCapped) {
  // The system stopped the thread for a second in a sleep: the batches after it still pause
  // once the capped credit is used up.
  CleanupPacer pacer(200, 1000);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pacer.AfterBatch(), 0);
  ASSERT_EQ(pacer.AfterBatch(), 1000);
  pacer.Slept(1'000'000);
  EXPECT_EQ(pacer.Owed(), -CleanupPacer::kMostCredit);
  int withoutSleep = 0;
  while (pacer.AfterBatch() == 0) ++withoutSleep;
  EXPECT_EQ(withoutSleep, (CleanupPacer::kMostCredit + 1000) / 200 - 1);
}

TEST(CleanupPacer, ASleepThatReturnsAtOnceIsNotCounted) {
  CleanupPacer pacer(200, 1000);
  for (int i = 0; i < 4; ++i) (void)pacer.AfterBatch();
  ASSERT_EQ(pacer.AfterBatch(), 1000);
  pacer.Slept(0);
  EXPECT_EQ(pacer.AfterBatch(), 1000);  // still owed, and 200 more
  EXPECT_EQ(pacer.Owed(), 1200);
}

}  // namespace
