// Health gating from three threads on shared victims, beside the plugin's cleanup thread
// and one of the three trimming the immunity table as the cleanup does.
//
// The work goes in rounds. In a round the gating clock stands still, every victim starts at
// full health, and every hit on it is lethal (physical, or magic through the thread's own
// effect): exactly one hit per victim may be gated, every other must find the victim
// immune. The game applies what the hits return once the round is over; the victim must
// then stand exactly at the result fraction, never below. Between rounds the clock moves on
// past the immunity, so that the trimming finds old entries to remove. A second set of
// victims takes only light hits, which open and close gating windows and pass unchanged.
#include <pthread.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "fixes/HealthGating.h"
#include "sim/Actors.h"
#include "tests/stress/Stress.h"

namespace stress::gating {
namespace {

using qx::game::kActorValue_Health;

constexpr int kWorkers = 3;
constexpr int kVictims = 4;
constexpr int kLightVictims = 2;
constexpr int kHitsPerVictim = 8;
constexpr float kMaximum = 100.0f;
constexpr float kLethal = -200.0f;
constexpr float kLight = -5.0f;
constexpr float kGated = -(kMaximum - kMaximum * kResultFraction);
constexpr std::int64_t kRoundMillis = kImmunityMillis + 1;

sim::SimActor* gVictims[kVictims];
sim::SimActor* gLightVictims[kLightVictims];
sim::SimActor* gAttacker;

// The gating clock: the round's number, in rounds of kRoundMillis (a whole word, so that
// the cleanup thread reads it in one load).
std::atomic<std::uint32_t> gRound{1};
qx::Timestamp RoundClock() noexcept { return static_cast<qx::Timestamp>(gRound.load()) * kRoundMillis; }

pthread_barrier_t gRoundBarrier;
bool gStop = false;  // set by worker 0 between two barriers
// What each worker's hits returned this round, per victim; summed by worker 0.
float gReturned[kWorkers][kVictims];
int gGatedHits[kWorkers][kVictims];

void Hit(int worker, int victim, int hit, qx::game::ActiveEffect& effect) {
  sim::SimActor* target = gVictims[victim];
  float change;
  if ((hit + worker) % 3 == 0) {
    effect.magnitude = kLethal;  // the whole hit, passed in one call
    change = qx::GateHealthChange(target, kLethal, gAttacker, &effect);
  } else {
    change = qx::GateHealthChange(target, kLethal, gAttacker, nullptr);
  }
  if (change != 0.0f && change != kGated) {
    Fail("a lethal hit on a victim at full health returned %f, neither 0 nor %f", change, kGated);
  }
  gReturned[worker][victim] += change;
  if (change != 0.0f) ++gGatedHits[worker][victim];
  ++Mine().hits;
}

void LightHits() {
  for (sim::SimActor* victim : gLightVictims) {
    float change = qx::GateHealthChange(victim, kLight, gAttacker, nullptr);
    if (change != kLight) Fail("a light hit returned %f, not %f", change, kLight);
    ++Mine().hits;
  }
}

// Worker 0, between rounds: the game applies the round's hits, then heals for the next.
void ApplyRound() {
  for (int victim = 0; victim < kVictims; ++victim) {
    float returned = 0.0f;
    int gated = 0;
    for (int worker = 0; worker < kWorkers; ++worker) {
      returned += gReturned[worker][victim];
      gated += gGatedHits[worker][victim];
      gReturned[worker][victim] = 0.0f;
      gGatedHits[worker][victim] = 0;
    }
    float& health = gVictims[victim]->currentValue[kActorValue_Health];
    health += returned;
    if (gated != 1 || std::fabs(health - kMaximum * kResultFraction) > 0.001f) {
      Fail("round %lld: victim %d took %d gated hits and stands at %f (the floor is %f)",
           static_cast<long long>(gRound.load()), victim, gated, health, kMaximum * kResultFraction);
    }
    health = kMaximum;
  }
  ++gRound;
}

}  // namespace

void SetUpGameData() {
  for (int v = 0; v < kVictims; ++v) {
    gVictims[v] = sim::NewActor(0x00010000 + static_cast<std::uint32_t>(v), 0xFF001000 + static_cast<std::uint32_t>(v));
    gVictims[v]->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
  }
  for (int v = 0; v < kLightVictims; ++v) {
    gLightVictims[v] = sim::NewActor(0x00020000 + static_cast<std::uint32_t>(v), 0xFF002000 + static_cast<std::uint32_t>(v));
    gLightVictims[v]->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
  }
  gAttacker = sim::NewActor(0x00030000, 0xFF003000);
  gAttacker->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
  // Before the plugin boots: its cleanup thread reads the clock from its start.
  qx::gGatingClock = &RoundClock;
  pthread_barrier_init(&gRoundBarrier, nullptr, kWorkers);
}

void Work(const Worker& worker, const Run& run) {
  qx::game::ActiveEffect effect{};
  std::vector<const qx::game::Actor*> expired;
  while (true) {
    pthread_barrier_wait(&gRoundBarrier);  // the round's state is ready
    for (int hit = 0; hit < kHitsPerVictim; ++hit) {
      for (int victim = 0; victim < kVictims; ++victim) Hit(worker.index, victim, hit, effect);
      if (worker.index == 2) (void)qx::TrimImmunityTable(RoundClock(), kImmunityMillis, expired);
    }
    LightHits();
    pthread_barrier_wait(&gRoundBarrier);  // every hit of the round returned
    if (worker.index == 0) {
      ApplyRound();
      gStop = run.Over();
    }
    pthread_barrier_wait(&gRoundBarrier);  // applied, and the decision to stop is made
    EndStep(worker.thread);
    if (gStop) break;
  }
}

}  // namespace stress::gating
