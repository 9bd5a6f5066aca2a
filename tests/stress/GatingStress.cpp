// Health gating from three threads on shared victims, beside the plugin's cleanup thread.
//
// The work goes in rounds. In a round every victim starts at full health and every hit on it
// is lethal (physical, or magic through the thread's own effect): exactly one hit per victim
// may be gated, every other must find the victim immune. Once the round is over the victim
// must stand exactly at the result fraction, never below. A second set of victims takes only
// light hits, which open and close gating windows and pass unchanged.
//
// In the Linux build the three threads call the plugin's gating at once, its clock stands
// still during a round and moves on past the immunity between rounds (so that trimming finds
// old entries), one of the three trims the immunity table as the cleanup does, and the game
// applies what the hits returned once the round is over.
//
// In the Windows build the plugin is the DLL: hits go through the game's patched hit-damage
// code, whose routine applies each change at once, one hit at a time (the site runner runs
// one site at a time, as the game applies hits on its main thread), while the plugin's own
// cleanup thread trims. The DLL's clock runs on, so each round takes the next set of victims
// from a ring, a set comes round again only once its immunity has lapsed, and a round that
// took longer than the immunity (a stalled thread) is counted but not judged.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "sim/Actors.h"
#include "tests/stress/Stress.h"
#include "tests/stress/Threads.h"

#ifdef _WIN32
#include <cstring>
#include <mutex>
#include <vector>

#include "sim/FixSites.h"
#include "sim/GameplayRoutines.h"
#include "sim/SiteRunner.h"
#else
#include <atomic>
#include <vector>

#include "fixes/HealthGating.h"
#endif

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
#ifdef _WIN32
constexpr int kVictimSets = 64;
#else
constexpr int kVictimSets = 1;
#endif

sim::SimActor* gVictims[kVictimSets][kVictims];
sim::SimActor* gLightVictims[kLightVictims];
sim::SimActor* gAttacker;

Barrier gRoundBarrier(kWorkers);
bool gStop = false;  // set by worker 0 between two barriers
// Set by worker 0 before a round: its victims, and when it started.
int gSet = 0;
std::int64_t gRoundStart = 0;
std::int64_t gSetFreeAt[kVictimSets];  // when a set's immunity has lapsed
std::uint64_t gJudgedRounds = 0;
std::uint64_t gSlowRounds = 0;
// What each worker's hits returned this round, per victim; summed by worker 0.
float gReturned[kWorkers][kVictims];
int gGatedHits[kWorkers][kVictims];
// Lethal hits that passed whole. While the clock runs, that is wrong only in a round judged:
// in a slower one the first gated hit's immunity can lapse, and the victim, then below the
// gating threshold, rightly takes the next lethal hit.
int gWholeHits[kWorkers][kVictims];

std::int64_t NowMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

#ifdef _WIN32
constexpr bool kGameAppliesEachHit = true;
constexpr bool kClockRuns = true;

std::mutex gSiteLock;

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

std::uint32_t WordOf(float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, 4);
  return word;
}

const sim::FixSite& HitDamageSite() {
  for (const sim::FixSite& site : sim::kFixSites) {
    if (std::strcmp(site.name, "hit damage") == 0) return site;
  }
  std::abort();
}

// The game's hit-damage code with the victim in esi and the routine's six arguments pushed;
// answers the change the game's routine received.
float Gate(sim::SimActor* victim, float change, void* source) {
  static const sim::FixSite& site = HitDamageSite();
  sim::SiteEntry entry;
  entry.address = site.site;
  entry.registers.esi = Word(victim);
  entry.stack = {0, 0, WordOf(change), Word(gAttacker), 0, Word(source)};
  std::lock_guard<std::mutex> lock(gSiteLock);
  sim::SiteExit exit = sim::RunSite(entry);
  std::vector<sim::HitDamageCall>& calls = sim::HitDamageCalls();
  float received = change;
  if (exit.resumedAt != site.resume || calls.size() != 1 || calls[0].victim != victim) {
    Fail("a hit through the game's hit-damage code did not reach the game's routine once");
  } else {
    received = calls[0].change;
  }
  calls.clear();
  return received;
}
#else
constexpr bool kGameAppliesEachHit = false;
constexpr bool kClockRuns = false;
constexpr std::int64_t kRoundMillis = kImmunityMillis + 1;

// The gating clock: the round's number, in rounds of kRoundMillis (a whole word, so that
// the cleanup thread reads it in one load).
std::atomic<std::uint32_t> gRound{1};
qx::Timestamp RoundClock() noexcept { return static_cast<qx::Timestamp>(gRound.load()) * kRoundMillis; }

float Gate(sim::SimActor* victim, float change, void* source) {
  return qx::GateHealthChange(victim, change, gAttacker, source);
}
#endif

void Hit(int worker, int victim, int hit, qx::game::ActiveEffect& effect) {
  float change;
  if ((hit + worker) % 3 == 0) {
    effect.magnitude = kLethal;  // the whole hit, passed in one call
    change = Gate(gVictims[gSet][victim], kLethal, &effect);
  } else {
    change = Gate(gVictims[gSet][victim], kLethal, nullptr);
  }
  if (kClockRuns && change == kLethal) {
    ++gWholeHits[worker][victim];  // judged with its round
  } else if (change != 0.0f && change != kGated) {
    Fail("a lethal hit on a victim at full health returned %f, neither 0 nor %f", change, kGated);
  }
  gReturned[worker][victim] += change;
  if (change != 0.0f) ++gGatedHits[worker][victim];
  ++Mine().hits;
}

void LightHits() {
  for (sim::SimActor* victim : gLightVictims) {
    float change = Gate(victim, kLight, nullptr);
    if (change != kLight) Fail("a light hit returned %f, not %f", change, kLight);
    ++Mine().hits;
  }
}

// Worker 0, before a round: the next set of victims, once its immunity has lapsed.
void PrepareRound() {
  gSet = (gSet + 1) % kVictimSets;
  if (kClockRuns) {
    while (NowMillis() < gSetFreeAt[gSet]) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  gRoundStart = NowMillis();
}

// Worker 0, between rounds: the game has the round's hits (or applies them now), then heals
// for the next.
void ApplyRound() {
  std::int64_t end = NowMillis();
  bool judged = !kClockRuns || end - gRoundStart < static_cast<std::int64_t>(kImmunityMillis);
  for (int victim = 0; victim < kVictims; ++victim) {
    float returned = 0.0f;
    int gated = 0;
    int whole = 0;
    for (int worker = 0; worker < kWorkers; ++worker) {
      returned += gReturned[worker][victim];
      gated += gGatedHits[worker][victim];
      whole += gWholeHits[worker][victim];
      gReturned[worker][victim] = 0.0f;
      gGatedHits[worker][victim] = 0;
      gWholeHits[worker][victim] = 0;
    }
    if (judged && whole != 0) {
      Fail("round %llu: %d lethal hits on victim %d passed whole within its immunity",
           static_cast<unsigned long long>(gJudgedRounds + gSlowRounds), whole, victim);
    }
    float& health = gVictims[gSet][victim]->currentValue[kActorValue_Health];
    if (!kGameAppliesEachHit) health += returned;
    if (judged && (gated != 1 || std::fabs(health - kMaximum * kResultFraction) > 0.001f)) {
      Fail("round %llu: victim %d took %d gated hits and stands at %f (the floor is %f)",
           static_cast<unsigned long long>(gJudgedRounds + gSlowRounds), victim, gated, health,
           kMaximum * kResultFraction);
    }
    health = kMaximum;
  }
  for (sim::SimActor* victim : gLightVictims) victim->currentValue[kActorValue_Health] = kMaximum;
  gSetFreeAt[gSet] = end + kImmunityMillis + 2;
  ++(judged ? gJudgedRounds : gSlowRounds);
#ifndef _WIN32
  ++gRound;
#endif
}

}  // namespace

void SetUpGameData() {
  for (int set = 0; set < kVictimSets; ++set) {
    for (int v = 0; v < kVictims; ++v) {
      auto number = static_cast<std::uint32_t>(set * kVictims + v);
      gVictims[set][v] = sim::NewActor(0x00010000 + number, 0xFF010000 + number);
      gVictims[set][v]->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
    }
  }
  for (int v = 0; v < kLightVictims; ++v) {
    gLightVictims[v] = sim::NewActor(0x00020000 + static_cast<std::uint32_t>(v), 0xFF002000 + static_cast<std::uint32_t>(v));
    gLightVictims[v]->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
  }
  gAttacker = sim::NewActor(0x00030000, 0xFF003000);
  gAttacker->SetActorValue(kActorValue_Health, kMaximum, kMaximum);
#ifndef _WIN32
  // Before the plugin boots: its cleanup thread reads the clock from its start.
  qx::gGatingClock = &RoundClock;
#endif
}

void Work(const Worker& worker, const Run& run) {
  qx::game::ActiveEffect effect{};
  while (true) {
    if (worker.index == 0) PrepareRound();
    gRoundBarrier.Wait();  // the round's state is ready
    for (int hit = 0; hit < kHitsPerVictim; ++hit) {
      for (int victim = 0; victim < kVictims; ++victim) Hit(worker.index, victim, hit, effect);
#ifndef _WIN32
      if (worker.index == 2) (void)qx::TrimImmunityTable(RoundClock(), kImmunityMillis);
#endif
    }
    LightHits();
    gRoundBarrier.Wait();  // every hit of the round returned
    if (worker.index == 0) {
      ApplyRound();
      gStop = run.Over();
    }
    gRoundBarrier.Wait();  // applied, and the decision to stop is made
    EndStep(worker.thread);
    if (gStop) break;
  }
}

void Check() {
  std::printf("stress: health gating: %llu rounds judged, %llu too slow to judge\n",
              static_cast<unsigned long long>(gJudgedRounds), static_cast<unsigned long long>(gSlowRounds));
  if (gJudgedRounds == 0) Fail("no round of lethal hits was quick enough to judge");
}

}  // namespace stress::gating
