// hook_bench: every patched site run through the simulated game, with every feature on.
//
// Natively it prints, per site, the heap allocations per pass in steady state (the runner's
// own allocations, measured by entering and catching the site's resume catcher alone, are
// taken off), the same for a fight's worth of health-gating hits (non-lethal hits whose
// gating window has passed, gated hits, hits during immunity, cleanup passes between
// rounds), and how often a jump looks an actor value up by name.
//
// Under callgrind each site is one segment of kPasses passes; scripts/bench.py takes
// the instructions of the site's own code and of the trampoline it branches to from the
// segment, which is what the patch adds to the game's path (site code + trampoline,
// including the game instructions the trampoline replays). It prints the trampoline's
// address for that as "qxbench site.<name>.trampoline <address>".
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fixes/HealthGating.h"
#include "sim/ActorValueNames.h"
#include "sim/Actors.h"
#include "sim/EverySite.h"
#include "sim/GameplayRoutines.h"
#include "sim/SiteRunner.h"
#include "sim/counting/HeapCounter.h"
#include "skse/GameActor.h"
#include "skse/GameActorValues.h"
#include "tests/bench/BenchSupport.h"

namespace {

constexpr int kPasses = 2000;

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

std::uint32_t FloatWord(float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, 4);
  return word;
}

sim::Registers Marked() {
  return {0xA0A0A0A0, 0xB0B0B0B0, 0xC0C0C0C0, 0xD0D0D0D0, 0x51515151, 0xD1D1D1D1, 0xBBBBBBBB};
}

// Where the branch written at `site` leads: the trampoline.
std::uintptr_t BranchTarget(std::uintptr_t site) {
  std::int32_t displacement;
  std::memcpy(&displacement, reinterpret_cast<const void*>(site + 1), 4);
  return site + 5 + static_cast<std::uint32_t>(displacement);
}

// Allocations per pass of `run`, after warming up.
double AllocationsPerPass(const std::function<void()>& run, int passes) {
  for (int i = 0; i < 50; ++i) run();
  std::uint64_t before = sim::CurrentHeapCount().allocations;
  for (int i = 0; i < passes; ++i) run();
  return static_cast<double>(sim::CurrentHeapCount().allocations - before) / passes;
}

void ClearGameRecords() {
  // The game's stand-ins record every call; emptied (capacity kept) so that recording
  // allocates nothing in steady state.
  sim::HitDamageCalls().clear();
  sim::JumpValueCalls().clear();
}

// Health gating in a fight: `victims` actors hit in turn by an attacker; time moves on by
// 20 ms a round (each victim's gating window of 17 ms has passed when it is hit again),
// every fourth round's hits are lethal (gated or, during immunity, nullified) and a cleanup
// pass runs every round. Returns allocations per hit in steady state.
qx::Timestamp gFightClock = 1'000'000;
qx::Timestamp FightClock() noexcept { return gFightClock; }

double FightAllocationsPerHit() {
  constexpr int kVictims = 200;
  std::vector<sim::SimActor*> victims;
  for (int i = 0; i < kVictims; ++i) {
    victims.push_back(sim::NewActor(0x1000 + i, 0xFF001000 + i));
    victims.back()->SetActorValue(qx::game::kActorValue_Health, 100.0f, 80.0f);
  }
  sim::SimActor* attacker = sim::NewActor(0x15);
  qx::gGatingClock = &FightClock;
  std::vector<sim::SiteEntry> entries(kVictims);
  for (int i = 0; i < kVictims; ++i) {
    entries[i].address = qx::game::kHitDamageCallSite;
    entries[i].registers = Marked();
    entries[i].registers.esi = Word(victims[i]);
    entries[i].stack = {0x11, 0x22, 0, Word(attacker), 0x55, 0, 0x5A5A5A5A};
  }
  auto round = [&](int number) {
    gFightClock += 20;
    bool lethal = number % 4 == 3;
    for (int i = 0; i < kVictims; ++i) {
      victims[i]->currentValue[qx::game::kActorValue_Health] = 80.0f;
      entries[i].stack[2] = FloatWord(lethal ? -100.0f : -5.0f);
      (void)sim::RunSite(entries[i]);
      ClearGameRecords();
    }
    (void)qx::TrimImmunityTable(gFightClock, 500);
  };
  for (int i = 0; i < 40; ++i) round(i);
  sim::SiteEntry bare;
  bare.address = qx::game::kHitDamageCallResume;
  bare.stack = {0x11, 0x22, 0, 0, 0x55, 0, 0x5A5A5A5A};
  double runner = AllocationsPerPass([&] { (void)sim::RunSite(bare); }, 1000);
  std::uint64_t before = sim::CurrentHeapCount().allocations;
  constexpr int kRounds = 100;
  for (int i = 40; i < 40 + kRounds; ++i) round(i);
  double perHit = static_cast<double>(sim::CurrentHeapCount().allocations - before) / (kRounds * kVictims);
  qx::gGatingClock = &qx::SteadyClockMillis;
  return perHit - runner;
}

}  // namespace

int main() {
  std::vector<sim::EverySiteRun> sites = sim::BootWithEveryFeature();
  if (sites.empty()) return 1;
  for (sim::EverySiteRun& site : sites) {
    sim::SiteExit exit = sim::RunSite(site.entry);
    if (exit.resumedAt != site.resume) {
      std::fprintf(stderr, "hook_bench: site %s resumed at %08X\n", site.name.c_str(),
                   static_cast<unsigned>(exit.resumedAt));
      return 1;
    }
    std::string key = "site." + site.name;
    qxbench::Report((key + ".address").c_str(), static_cast<double>(site.entry.address));
    qxbench::Report((key + ".trampoline").c_str(), static_cast<double>(BranchTarget(site.entry.address)));
    if (qxbench::UnderCallgrind()) {
      qxbench::CountSegment(key.c_str(), kPasses, [&] {
        for (int i = 0; i < kPasses; ++i) {
          (void)sim::RunSite(site.entry);
          ClearGameRecords();
        }
      });
      continue;
    }
    sim::SiteEntry bare = site.entry;
    bare.address = site.resume;
    // The fewest of three measurements: an allocation of the path shows in every one, a
    // stray one of the process (another thread, the runner's own) in one at most.
    double fewest = 1e9;
    for (int repeat = 0; repeat < 3; ++repeat) {
      double runner = AllocationsPerPass([&] { (void)sim::RunSite(bare); }, 1000);
      double all = AllocationsPerPass(
          [&] {
            (void)sim::RunSite(site.entry);
            ClearGameRecords();
          },
          1000);
      fewest = std::min(fewest, all - runner);
    }
    // Per pass to two places: an amortised growth (once in hundreds of passes) is no
    // allocation per pass.
    qxbench::Report((key + ".allocations").c_str(), std::max(0.0, std::round(fewest * 100) / 100));
  }

  if (!qxbench::UnderCallgrind()) {
    qxbench::Report("hits.allocations", FightAllocationsPerHit());
    unsigned before = sim::ActorValueLookupCalls();
    for (int i = 0; i < 1000; ++i) (void)sim::RunSite(sites[5].entry), ClearGameRecords();
    qxbench::Report("jump.lookups", (sim::ActorValueLookupCalls() - before) / 1000.0);
  }
  return 0;
}
