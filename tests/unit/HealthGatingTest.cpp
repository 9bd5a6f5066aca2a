// The gating decision and the immunity that follows it, on a clock the test moves.
#include <array>
#include <chrono>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "fixes/CleanupPacer.h"
#include "fixes/HealthGating.h"
#include "settings/ProjectIni.h"
#include "sim/counting/HeapCounter.h"
#include "tests/unit/GameFixture.h"

namespace {

using qx::GateHealthChange;
using qx::game::kActorValue_Health;
using qx::game::kActorValue_Magicka;
using qx::game::kActorValue_Stamina;

qx::Timestamp gNow = 0;
qx::Timestamp TestClock() noexcept { return gNow; }

// The clock the plugin gates by, before any test puts its own in place.
const qx::MillisClock kPluginClock = qx::gGatingClock;

std::int64_t SteadyMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Gating times come from the steady clock, which setting the system clock back does not
// move: with the wall clock, an hour back made a gated victim immune for an hour.
TEST(HealthGatingClock, IsTheSteadyClockNotTheWallClock) {
  std::int64_t before = SteadyMillis();
  qx::Timestamp now = kPluginClock();
  std::int64_t after = SteadyMillis();
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
}

class HealthGating : public qxtest::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    settings.hgIsEnabled = true;
    settings.hgEnablePhysical = true;
    settings.hgEnableMagic = true;
    settings.hgForMainPlayerOnly = false;
    settings.hgMinHealthPercent = 0.5f;
    settings.hgResultHealthPercent = 0.1f;
    settings.hgImmunityTimeMillis = 500;
    settings.hgGatingWindowMillis = 17;
    qx::gHealthGatingSettings = &settings;
    qx::gGatingClock = &TestClock;
    qx::ImmunityTable.clear();
    qx::GatingWindowTable.clear();
    gNow = 1'700'000'000'000;
    victim = NewActorAt(80.0f);
    attacker = NewActorAt(100.0f, 0x1234);
  }
  void TearDown() override { qx::gHealthGatingSettings = nullptr; }

  static sim::SimActor* NewActorAt(float health, qx::game::FormID base = 0x4321) {
    sim::SimActor* actor = sim::NewActor(base);
    actor->SetActorValue(kActorValue_Health, 100.0f, health);
    return actor;
  }
  // A hit as the game applies it: the routine's change lands on the victim's health.
  float Hit(float change, qx::game::Actor* from, void* source = nullptr) {
    float applied = GateHealthChange(victim, change, from, source);
    victim->currentValue[kActorValue_Health] += applied;
    return applied;
  }
  float Health() const { return victim->currentValue[kActorValue_Health]; }

  qx::ProjectIni settings;
  sim::SimActor* victim = nullptr;
  sim::SimActor* attacker = nullptr;
};

TEST_F(HealthGating, LethalHitFromHealthLeavesTheResultFractionThenImmunity) {
  EXPECT_FLOAT_EQ(Hit(-100.0f, attacker), -70.0f);
  EXPECT_FLOAT_EQ(Health(), 10.0f);
  ASSERT_EQ(qx::ImmunityTable.count(victim), 1u);
  EXPECT_EQ(qx::ImmunityTable[victim], gNow);

  gNow += 500;  // the last immune millisecond
  EXPECT_EQ(Hit(-5.0f, attacker), 0.0f);
  EXPECT_EQ(Hit(+5.0f, attacker), 0.0f);
  EXPECT_EQ(Hit(0.0f, attacker), 0.0f);
  gNow += 1;
  EXPECT_FLOAT_EQ(Hit(-5.0f, attacker), -5.0f);
}

TEST_F(HealthGating, ANonLethalHitOpensTheWindowThatGatesTheNextLethalOne) {
  EXPECT_FLOAT_EQ(Hit(-50.0f, attacker), -50.0f);
  ASSERT_EQ(qx::GatingWindowTable.count(victim), 1u);
  qx::Timestamp opened = gNow;
  gNow += 17;
  // A second non-lethal hit while open does not move the window.
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -1.0f, attacker, nullptr), -1.0f);
  EXPECT_EQ(qx::GatingWindowTable[victim], opened);
  EXPECT_FLOAT_EQ(Hit(-40.0f, attacker), -20.0f);
  EXPECT_FLOAT_EQ(Health(), 10.0f);
}

TEST_F(HealthGating, ALethalHitAfterTheWindowKillsAndClosesIt) {
  Hit(-50.0f, attacker);
  gNow += 18;
  EXPECT_FLOAT_EQ(Hit(-40.0f, attacker), -40.0f);
  EXPECT_EQ(qx::GatingWindowTable.count(victim), 0u);
  EXPECT_EQ(qx::ImmunityTable.count(victim), 0u);
}

// Tables that are full but for the slot that ends their runs, with no memory to grow: hits
// are decided as ever, only their entries are not kept, and the log says so once a run.
TEST_F(HealthGating, WithoutMemoryToGrowAHitIsDecidedButNotRecorded) {
  auto fill = [](qx::ActorTimestamps& table) {
    for (std::uintptr_t key = 0x10000000; table.try_emplace(reinterpret_cast<const qx::game::Actor*>(key), 0).first;
         key += 16) {
    }
  };
  sim::SimActor* other = NewActorAt(80.0f);
  std::vector<std::string> lines = qxtest::LoggedLines([&] {
    sim::FailHeapAllocations(true);
    fill(qx::ImmunityTable);
    fill(qx::GatingWindowTable);
    float lethal = Hit(-100.0f, attacker);
    float opening = GateHealthChange(other, -10.0f, attacker, nullptr);
    sim::FailHeapAllocations(false);
    EXPECT_FLOAT_EQ(lethal, -70.0f) << "still gated";
    EXPECT_FLOAT_EQ(opening, -10.0f);
  });
  EXPECT_EQ(lines, std::vector<std::string>{"QX Health Gating: out of memory; a hit was not recorded"});
  EXPECT_EQ(qx::ImmunityTable.count(victim), 0u);
  EXPECT_EQ(qx::GatingWindowTable.count(other), 0u);
  EXPECT_EQ(qx::ImmunityTable.SlotCount(), qx::ImmunityTable.size() + 1) << "one slot ends every run";

  // With memory again, the tables grow and record.
  victim->currentValue[kActorValue_Health] = 80.0f;
  EXPECT_FLOAT_EQ(Hit(-100.0f, attacker), -70.0f);
  EXPECT_EQ(qx::ImmunityTable.count(victim), 1u);
  EXPECT_EQ(Hit(-5.0f, attacker), 0.0f) << "immune now";
}

TEST_F(HealthGating, BelowTheFloorWithoutWindowIsNotGated) {
  victim->currentValue[kActorValue_Health] = 40.0f;
  EXPECT_FLOAT_EQ(Hit(-100.0f, attacker), -100.0f);
  EXPECT_EQ(qx::GatingWindowTable.count(victim), 0u);
}

TEST_F(HealthGating, BoundariesCountForTheVictim) {
  // Health equal to the hit is lethal; a fraction equal to the floor is above it.
  victim->currentValue[kActorValue_Health] = 50.0f;
  EXPECT_FLOAT_EQ(Hit(-50.0f, attacker), -40.0f);
  // A victim already at or below the result fraction gets no change at all.
  sim::SimActor* low = NewActorAt(8.0f);
  victim = low;
  settings.hgMinHealthPercent = 0.05f;
  EXPECT_EQ(Hit(-8.0f, attacker), 0.0f);
}

TEST_F(HealthGating, TheResultIsMeasuredAgainstTheEffectiveMaximum) {
  victim->SetActorValue(kActorValue_Health, 50.0f, 80.0f, 50.0f);
  EXPECT_FLOAT_EQ(Hit(-100.0f, attacker), -70.0f);
}

TEST_F(HealthGating, ThePlayerIsNeverGatedAgainstButImmunityStillHolds) {
  sim::SimActor* player = NewActorAt(100.0f, 0x7);
  sim::SimActor* playerClone = NewActorAt(100.0f, 0x7);  // same base form: counts as the player
  sim::SetPlayerCharacter(player);
  EXPECT_FLOAT_EQ(Hit(-100.0f, playerClone), -100.0f);
  victim->currentValue[kActorValue_Health] = 80.0f;
  EXPECT_FLOAT_EQ(Hit(-100.0f, attacker), -70.0f);
  EXPECT_EQ(Hit(-100.0f, player), 0.0f);
}

TEST_F(HealthGating, OnlyThePlayerWhenAsked) {
  settings.hgForMainPlayerOnly = true;
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, nullptr), -100.0f);  // no player at all
  sim::SetPlayerCharacter(victim);
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, nullptr), -70.0f);
}

TEST_F(HealthGating, NoVictimOrSelfInflictedOrPositiveOrSwitchedOffKindsPassThrough) {
  EXPECT_FLOAT_EQ(GateHealthChange(nullptr, -100.0f, attacker, nullptr), -100.0f);
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, victim, nullptr), -100.0f);
  EXPECT_FLOAT_EQ(GateHealthChange(victim, 30.0f, attacker, nullptr), 30.0f);
  settings.hgEnablePhysical = false;
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, nullptr), -100.0f);
  // The attacker as source is still a physical hit.
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, attacker), -100.0f);
  EXPECT_TRUE(qx::ImmunityTable.empty());
  // Without an attacker the attacker conditions do not apply.
  settings.hgEnablePhysical = true;
  settings.hgRequireBelowAttackerHealth = true;
  settings.hgAttackerHealthPercent = 0.5f;
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, nullptr, nullptr), -70.0f);
}

TEST_F(HealthGating, AttackerConditionsNeedTheAttackerBelowTheirThresholds) {
  settings.hgRequireBelowAttackerHealth = true;
  settings.hgAttackerHealthPercent = 0.5f;
  attacker->currentValue[kActorValue_Health] = 50.0f;  // at the threshold: not below
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, nullptr), -100.0f);
  attacker->currentValue[kActorValue_Health] = 49.0f;
  settings.hgRequireBelowAttackerStamina = true;
  settings.hgAttackerStaminaPercent = 0.3f;
  attacker->SetActorValue(kActorValue_Stamina, 100.0f, 30.0f);
  attacker->SetActorValue(kActorValue_Magicka, 100.0f, 10.0f);
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, nullptr), -100.0f);
  // Magic hits read magicka instead when asked.
  settings.hgSwapAttackerStaminaMagicka = true;
  sim::SimActiveEffect* effect = sim::NewActiveEffect(nullptr, nullptr);
  effect->magnitude = -100.0f;
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, effect), -70.0f);
}

TEST_F(HealthGating, MagicHitsRescaleTheEffectAndThisCallsShare) {
  sim::SimActiveEffect* effect = sim::NewActiveEffect(nullptr, nullptr);
  effect->magnitude = -100.0f;
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, effect), -70.0f);
  EXPECT_FLOAT_EQ(effect->magnitude, -70.0f);

  sim::SimActor* other = NewActorAt(60.0f);
  sim::SimActiveEffect* burn = sim::NewActiveEffect(nullptr, nullptr);
  burn->magnitude = -80.0f;
  EXPECT_FLOAT_EQ(GateHealthChange(other, -8.0f, attacker, burn), -5.0f);
  EXPECT_FLOAT_EQ(burn->magnitude, -50.0f);

  // Immune: the effect is emptied, whatever its magnitude.
  sim::SimActiveEffect* later = sim::NewActiveEffect(nullptr, nullptr);
  later->magnitude = -30.0f;
  EXPECT_EQ(GateHealthChange(other, -3.0f, attacker, later), 0.0f);
  EXPECT_EQ(later->magnitude, 0.0f);
  sim::SimActiveEffect* spent = sim::NewActiveEffect(nullptr, nullptr);  // magnitude 0
  float share = GateHealthChange(other, -3.0f, attacker, spent);
  EXPECT_FALSE(std::isnan(share));
  EXPECT_EQ(share, 0.0f);
}

TEST_F(HealthGating, MagicHitsAreSizedByTheirEffectAndLeftAloneWhenNotGated) {
  sim::SimActiveEffect* effect = sim::NewActiveEffect(nullptr, nullptr);
  effect->magnitude = -20.0f;  // not lethal, though this call's change alone would be
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -90.0f, attacker, effect), -90.0f);
  EXPECT_FLOAT_EQ(effect->magnitude, -20.0f);
  settings.hgEnableMagic = false;
  effect->magnitude = -100.0f;
  qx::GatingWindowTable.clear();
  EXPECT_FLOAT_EQ(GateHealthChange(victim, -100.0f, attacker, effect), -100.0f);
  EXPECT_FLOAT_EQ(effect->magnitude, -100.0f);
}

int gReadsWithLockFree = 0;
int gReadsWithLockHeld = 0;
void CheckGatingLockIsFree(sim::SimActor*) {
  if (qx::gGatingLock.try_lock()) {
    qx::gGatingLock.unlock();
    ++gReadsWithLockFree;
  } else {
    ++gReadsWithLockHeld;
  }
}

TEST_F(HealthGating, ActorValuesAreReadWithoutTheGatingLock) {
  settings.hgRequireBelowAttackerHealth = true;
  settings.hgAttackerHealthPercent = 0.9f;
  attacker->currentValue[kActorValue_Health] = 10.0f;
  sim::gOnActorValueRead = &CheckGatingLockIsFree;
  Hit(-50.0f, attacker);   // opens the window
  Hit(-100.0f, attacker);  // gated
  sim::gOnActorValueRead = nullptr;
  EXPECT_EQ(Health(), 10.0f);
  EXPECT_GT(gReadsWithLockFree, 0);
  EXPECT_EQ(gReadsWithLockHeld, 0);
}

// A second lethal hit on the same victim arrives while the first is reading the game's
// values: exactly one of them is gated and the other finds the victim immune.
sim::SimActor* gSecondAttacker = nullptr;
float gSecondHit = 0.0f;
void HitAgainOnFirstRead(sim::SimActor* actor) {
  if (actor == gSecondAttacker) return;
  sim::gOnActorValueRead = nullptr;
  gSecondHit = GateHealthChange(actor, -100.0f, gSecondAttacker, nullptr);
}

TEST_F(HealthGating, ASecondHitDuringTheFirstFindsTheVictimImmune) {
  gSecondAttacker = attacker;
  sim::gOnActorValueRead = &HitAgainOnFirstRead;
  float first = Hit(-100.0f, attacker);
  victim->currentValue[kActorValue_Health] += gSecondHit;
  EXPECT_EQ(sim::gOnActorValueRead, nullptr) << "the second hit ran inside the first";
  EXPECT_FLOAT_EQ(first + gSecondHit, -70.0f);
  EXPECT_FLOAT_EQ(Health(), 10.0f);

  // A magic hit that loses the race empties its effect like any hit on an immune victim.
  victim = NewActorAt(80.0f);
  sim::SimActiveEffect* effect = sim::NewActiveEffect(nullptr, nullptr);
  effect->magnitude = -100.0f;
  sim::gOnActorValueRead = &HitAgainOnFirstRead;
  EXPECT_EQ(GateHealthChange(victim, -100.0f, attacker, effect), 0.0f);
  EXPECT_EQ(effect->magnitude, 0.0f);
  EXPECT_FLOAT_EQ(gSecondHit, -70.0f);
  sim::gOnActorValueRead = nullptr;
}

// Many threads hit one healthy victim with a lethal blow at once; the game applies every
// change afterwards. One blow is gated, every other one finds the victim immune.
TEST_F(HealthGating, ManySimultaneousLethalHitsLeaveTheResultFraction) {
  constexpr int kThreads = 4, kRounds = 300;
  for (int round = 0; round < kRounds; ++round) {
    sim::SimActor* target = NewActorAt(80.0f);
    std::atomic<int> ready{0};
    std::array<float, kThreads> applied{};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        ready.fetch_add(1);
        while (ready.load() < kThreads) std::this_thread::yield();
        applied[t] = GateHealthChange(target, -100.0f, attacker, nullptr);
      });
    }
    for (auto& thread : threads) thread.join();
    float health = 80.0f;
    for (float change : applied) health += change;
    ASSERT_FLOAT_EQ(health, 10.0f) << "round " << round;
  }
}

// The cleanup thread is detached, so it may run a pass while the process ends, after the
// objects built at start-up were torn down. This pass is registered to run at exit before
// any of them was built, so it runs after all of them are gone.
bool gPassAfterTearDown = false;
void CleanupPassAfterTearDown() {
  if (!gPassAfterTearDown) return;
  static qx::game::Actor actor{};
  {
    std::lock_guard<std::mutex> lock(qx::gGatingLock);
    qx::ImmunityTable[&actor] = 0;
    qx::GatingWindowTable[&actor] = 0;
  }
  qx::TrimImmunityTable(1'000, 500);
  if (qx::ImmunityTable.count(&actor) != 0) std::_Exit(2);
}
__attribute__((constructor(101))) void RegisterPassAfterTearDown() {
  std::atexit(&CleanupPassAfterTearDown);
}

TEST(ImmunityCleanup, TablesOutliveTheEndOfTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        static qx::game::Actor actors[20]{};
        {
          std::lock_guard<std::mutex> lock(qx::gGatingLock);
          for (auto& actor : actors) qx::ImmunityTable[&actor] = qx::GatingWindowTable[&actor] = 0;
        }
        gPassAfterTearDown = true;
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
}

TEST(ImmunityCleanup, RemovesExactlyTheEntriesWhoseAgeReachedTheImmunityTime) {
  qx::ImmunityTable.clear();
  qx::game::Actor actors[5]{};
  const qx::Timestamp now = 10'000;
  qx::ImmunityTable[&actors[0]] = now - 499;
  qx::ImmunityTable[&actors[1]] = now - 500;
  qx::ImmunityTable[&actors[2]] = now - 9'000;
  qx::ImmunityTable[&actors[3]] = now + 5;  // stamped in the future
  qx::ImmunityTable[&actors[4]] = now;
  EXPECT_EQ(qx::TrimImmunityTable(now, 500), 2u);
  EXPECT_EQ(qx::ImmunityTable.size(), 3u);
  EXPECT_EQ(qx::ImmunityTable.count(&actors[1]), 0u);
  EXPECT_EQ(qx::ImmunityTable.count(&actors[2]), 0u);
  EXPECT_EQ(qx::TrimImmunityTable(now + 1, 500), 1u);  // actor 0 reached 500
  qx::ImmunityTable.clear();
}

// The pauses of a cleanup pass: what each batch owes, when it is slept off and how a sleep
// that overshoots pays for the batches after it, on each system's granularity.
using PauseMicros = qx::CleanupPacer::Micros;
struct PacedPass {
  std::vector<PauseMicros> asked;
  PauseMicros paused = 0;
};
// A pass of `batches` batches on a system whose every sleep of `asked` takes asked + `over`
// (at least `shortest`): the sleeps asked for, and the pass's pause time in all.
PacedPass RunPass(qx::CleanupPacer pacer, int batches, PauseMicros over, PauseMicros shortest = 0) {
  PacedPass pass;
  for (int batch = 1; batch < batches; ++batch) {  // a pause between two batches only
    PauseMicros due = pacer.AfterBatch();
    if (due == 0) continue;
    pass.asked.push_back(due);
    PauseMicros took = due + over < shortest ? shortest : due + over;
    pacer.Slept(took);
    pass.paused += took;
  }
  return pass;
}

TEST(CleanupPacing, AFineGrainedSleepPausesAfterEveryBatch) {
  PacedPass pass = RunPass(qx::CleanupPacer(200, 50), 1001, 0);
  ASSERT_EQ(pass.asked.size(), 1000u);
  for (PauseMicros asked : pass.asked) EXPECT_EQ(asked, 200);
  EXPECT_EQ(pass.paused, 200'000);
}

TEST(CleanupPacing, SleepsThatRunLongPayForTheNextPauses) {
  // Linux: 60 us of slack on every sleep. The pass still pauses 200 us per batch in all,
  // give or take one sleep.
  PacedPass pass = RunPass(qx::CleanupPacer(200, 50), 1001, 60);
  EXPECT_GE(pass.paused, 200'000 - 50);
  EXPECT_LE(pass.paused, 200'000 + 260);
  for (PauseMicros asked : pass.asked) EXPECT_EQ(asked % 50, 0);
}

TEST(CleanupPacing, WholeMillisecondSleepsComeEveryFifthBatch) {
  // Windows: nothing shorter than a millisecond; 200 us a batch is one every fifth batch.
  PacedPass pass = RunPass(qx::CleanupPacer(200, 1000), 1001, 0, 1000);
  ASSERT_EQ(pass.asked.size(), 200u);
  for (PauseMicros asked : pass.asked) EXPECT_EQ(asked, 1000);
  EXPECT_EQ(pass.paused, 200'000);
}

TEST(CleanupPacing, ATimerTickPerSleepStillEndsThePassInItsPauseTime) {
  // Windows' default timer: every sleep takes a tick of 15.6 ms. A pause per batch would
  // make 1000 batches take 15.6 s; paced, the pass pauses its 200 ms and at most a tick more.
  PacedPass pass = RunPass(qx::CleanupPacer(200, 1000), 1001, 0, 15'600);
  EXPECT_GE(pass.paused, 200'000 - 1000);
  EXPECT_LE(pass.paused, 200'000 + 15'600);
  EXPECT_LE(pass.asked.size(), 14u);
}

TEST(CleanupPacing, CreditFromOneLongStopIsCapped) {
  // The system stopped the thread for a second in a sleep: the batches after it still pause
  // once the capped credit is used up.
  qx::CleanupPacer pacer(200, 1000);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(pacer.AfterBatch(), 0);
  ASSERT_EQ(pacer.AfterBatch(), 1000);
  pacer.Slept(1'000'000);
  EXPECT_EQ(pacer.Owed(), -qx::CleanupPacer::kMostCredit);
  int withoutSleep = 0;
  while (pacer.AfterBatch() == 0) ++withoutSleep;
  EXPECT_EQ(withoutSleep, (qx::CleanupPacer::kMostCredit + 1000) / 200 - 1);
}

TEST(CleanupPacing, ASleepThatReturnsAtOnceIsNotCounted) {
  qx::CleanupPacer pacer(200, 1000);
  for (int i = 0; i < 4; ++i) (void)pacer.AfterBatch();
  ASSERT_EQ(pacer.AfterBatch(), 1000);
  pacer.Slept(0);
  EXPECT_EQ(pacer.AfterBatch(), 1000);  // still owed, and 200 more
  EXPECT_EQ(pacer.Owed(), 1200);
}

// The tables against a standard map through inserts, overwrites and removals that grow the
// table and shift runs of entries back, the null actor (kept apart from the slots) among them;
// then what a walk over the slots sees, and a table that cannot grow.
TEST(ActorTimestamps, FindWhatAMapFindsThroughGrowthAndRemovals) {
  static qx::game::Actor actors[3000]{};
  qx::ActorTimestamps table(4);
  std::map<const qx::game::Actor*, qx::Timestamp> expected;
  std::uint32_t random = 12345;
  auto next = [&] { return random = random * 1664525u + 1013904223u; };
  for (int step = 0; step < 60'000; ++step) {
    std::uint32_t index = (next() >> 8) % 3001;
    const qx::game::Actor* actor = index < 3000 ? &actors[index] : nullptr;
    auto value = static_cast<qx::Timestamp>(next() >> 4);
    switch ((next() >> 12) % 4) {
      case 0:
      case 1: {
        bool inserted = table.try_emplace(actor, value).second;
        EXPECT_EQ(inserted, expected.emplace(actor, value).second);
        break;
      }
      case 2:
        table[actor] = value;
        expected[actor] = value;
        break;
      default:
        EXPECT_EQ(table.erase(actor), expected.erase(actor) == 1);
    }
    ASSERT_EQ(table.size(), expected.size()) << "step " << step;
  }
  table.try_emplace(nullptr, 5);
  expected.emplace(nullptr, 5);
  std::vector<const qx::game::Actor*> keys{nullptr};
  for (const qx::game::Actor& actor : actors) keys.push_back(&actor);
  for (const qx::game::Actor* actor : keys) {
    auto found = expected.find(actor);
    const qx::Timestamp* stamp = table.find(actor);
    ASSERT_EQ(stamp != nullptr, found != expected.end());
    if (stamp != nullptr) {
      EXPECT_EQ(*stamp, found->second);
    }
  }
  std::size_t walked = 0;
  for (std::size_t slot = 0; slot < table.SlotCount(); ++slot) {
    if (table.SlotIsEmpty(slot)) continue;
    ++walked;
    auto found = expected.find(table.SlotKey(slot));
    ASSERT_NE(found, expected.end());
    EXPECT_EQ(table.SlotValue(slot), found->second);
  }
  EXPECT_EQ(walked + 1, expected.size()) << "every entry but the null actor's has a slot";

  std::size_t slots = table.SlotCount();
  table.clear();
  EXPECT_TRUE(table.empty());
  EXPECT_EQ(table.count(&actors[0]), 0u);
  EXPECT_EQ(table.count(nullptr), 0u);
  EXPECT_EQ(table.SlotCount(), slots) << "the array is kept";

  // Without memory, a table fills on up to the slot that ends every run, then inserts
  // nothing; what it holds is still found, and a removal makes room.
  qx::ActorTimestamps small(4);
  std::size_t filled = 0;
  sim::FailHeapAllocations(true);
  while (filled < 100 && small.try_emplace(&actors[filled], 7).first != nullptr) ++filled;
  bool thrown = false;
  try {
    small[&actors[filled]] = 1;
  } catch (const std::bad_alloc&) {
    thrown = true;
  }
  bool erased = small.erase(&actors[0]);
  bool afterErase = small.try_emplace(&actors[filled], 8).second;
  sim::FailHeapAllocations(false);
  EXPECT_EQ(filled, small.SlotCount() - 1);
  EXPECT_TRUE(thrown);
  EXPECT_TRUE(erased);
  EXPECT_TRUE(afterErase);
  for (std::size_t i = 1; i <= filled; ++i) ASSERT_EQ(small.count(&actors[i]), 1u) << i;
}

// A pass over a table of many batches, expired entries spread over every run of slots.
TEST(ImmunityCleanup, APassOfManyBatchesRemovesExactlyTheExpiredEntries) {
  static qx::game::Actor actors[5000]{};
  const qx::Timestamp now = 100'000;
  qx::ImmunityTable.clear();
  for (std::size_t i = 0; i < 5000; ++i) qx::ImmunityTable[&actors[i]] = i % 3 == 0 ? now - 500 : now - 499;
  EXPECT_EQ(qx::TrimImmunityTable(now, 500), 1667u);
  EXPECT_EQ(qx::ImmunityTable.size(), 3333u);
  for (std::size_t i = 0; i < 5000; ++i) ASSERT_EQ(qx::ImmunityTable.count(&actors[i]), i % 3 == 0 ? 0u : 1u) << i;
  qx::ImmunityTable.clear();
}

// Out of memory, a table fills to its last free slot but one: a run of thousands of entries,
// all expired here, that a pass removes without the heap.
TEST(ImmunityCleanup, APassOverAFullTableNeedsNoMemory) {
  static qx::game::Actor actors[1 << 14]{};
  qx::ImmunityTable.reserve(2048);
  std::size_t filled = 0;
  sim::FailHeapAllocations(true);
  while (filled < std::size(actors) && qx::ImmunityTable.try_emplace(&actors[filled], 0).first != nullptr) ++filled;
  std::size_t removed = qx::TrimImmunityTable(1'000, 500);
  sim::FailHeapAllocations(false);
  EXPECT_EQ(removed, qx::ImmunityTable.SlotCount() - 1);
  EXPECT_TRUE(qx::ImmunityTable.empty());
}

}  // namespace
