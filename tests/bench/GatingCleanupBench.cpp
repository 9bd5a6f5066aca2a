// gating_cleanup_bench: the health-gating lock shared by the hit path and the cleanup thread.
//
//   lock stretch: cleanup passes over 100,000 immunity entries, half of them expired: the
//                 longest stretch a batch holds the gating lock (milliseconds), from taking
//                 the lock to letting it go, each batch at its shortest of ten passes, in the
//                 thread's processor time on Linux and in wall time on Windows (whose thread
//                 times advance by whole ticks of 10 ms or more); and the longest in wall time,
//                 which adds whatever the system ran meanwhile.
//   pass:         the whole time of a cleanup pass over the same table, pauses included
//                 (milliseconds, the fastest of five): what the pacing of the pauses makes of
//                 the system's sleep.
//   hits:         10,000 actors hit in turn on one thread while another runs cleanup passes
//                 back to back over 100,000 entries, against the same hits without cleanup
//                 (wall-time ratio, the fastest of 200 runs of each, in turn in blocks of 20).
//   allocations:  heap allocations per cleanup pass over 100,000 entries (steady state).
// Under callgrind: instructions per entry of a cleanup pass.
//
// The plugin's gating code is linked into the program in both builds (the hit path and the
// cleanup are called directly), with the simulated game's region for the actors.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <thread>
#include <vector>

#include "common/IDebugLog.h"
#include "fixes/HealthGating.h"
#include "settings/IniFile.h"
#include "settings/ProjectIni.h"
#include "sim/Actors.h"
#include "sim/Game.h"
#include "sim/counting/HeapCounter.h"
#include "skse/GameActorValues.h"
#include "tests/bench/BenchSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kEntries = 100'000;
constexpr std::size_t kVictims = 10'000;
// Runs of each side of the hits: many, since a run lasts milliseconds and the machine (a shared
// virtual one) interrupts many of them.
constexpr int kHitRuns = 200;
constexpr int kHitRunsPerBlock = 20;
constexpr std::uint32_t kImmunityMillis = 10'000;
constexpr qx::Timestamp kNow = 1'000'000'000;

qx::Timestamp FixedClock() noexcept { return kNow; }

std::vector<qx::game::Actor> gStandIns(kEntries);  // keys only: never read through the table

// The table as a pass finds it: kEntries entries, every second one expired when `halfExpired`.
void FillImmunityTable(bool halfExpired) {
  std::lock_guard<std::mutex> lock(qx::gGatingLock);
  qx::ImmunityTable.clear();
  for (std::size_t i = 0; i < kEntries; ++i) {
    qx::ImmunityTable[&gStandIns[i]] = halfExpired && i % 2 == 0 ? kNow - kImmunityMillis : kNow;
  }
}

std::size_t CleanupPass() { return qx::TrimImmunityTable(kNow, kImmunityMillis); }

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A batch's hold of the lock in the cleanup thread's own processor time (what the batch
// costs, without the time the system gives other processes meanwhile) and in wall time.
// Windows advances a thread's processor time by whole timer ticks (10 ms under Wine), far
// coarser than a batch: there the shortest of ten in wall time stands for it.
std::int64_t ThreadCpuNanoseconds() {
#ifdef _WIN32
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
#else
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#endif
}
std::int64_t gBatchCpuStart = 0;
Clock::time_point gBatchWallStart;
std::vector<std::int64_t> gBatchCpu;  // this pass's batches, in order
Clock::duration gLongestWall{};
void NoteBatch(bool taken) {
  if (taken) {
    gBatchWallStart = Clock::now();
    gBatchCpuStart = ThreadCpuNanoseconds();
    return;
  }
  gBatchCpu.push_back(ThreadCpuNanoseconds() - gBatchCpuStart);
  gLongestWall = std::max(gLongestWall, Clock::now() - gBatchWallStart);
}

// The longest hold of a batch over ten passes. Every pass cuts the same table into the same
// batches, so each batch's hold is taken as its shortest of the ten: a batch that the
// machine (a shared virtual one) happened to interrupt once does not count as long. The
// longest hold in wall time, interruptions and all, is reported beside it.
void LongestLockStretch(double& cpuMs, double& wallMs) {
  std::vector<std::int64_t> shortest;
  gLongestWall = {};
  qx::gOnCleanupBatch = &NoteBatch;
  for (int pass = 0; pass < 10; ++pass) {
    FillImmunityTable(true);
    gBatchCpu.clear();
    if (CleanupPass() != kEntries / 2) std::exit(1);
    if (shortest.empty()) shortest = gBatchCpu;
    for (std::size_t i = 0; i < shortest.size() && i < gBatchCpu.size(); ++i) {
      shortest[i] = std::min(shortest[i], gBatchCpu[i]);
    }
  }
  qx::gOnCleanupBatch = nullptr;
  std::int64_t longest = shortest.empty() ? 0 : *std::max_element(shortest.begin(), shortest.end());
  cpuMs = static_cast<double>(longest) / 1e6;
  wallMs = Milliseconds(gLongestWall);
}

// The whole time of a pass over the table, half of it expired: the fastest of five.
double PassMilliseconds() {
  double fastest = 1e9;
  for (int pass = 0; pass < 5; ++pass) {
    FillImmunityTable(true);
    Clock::time_point start = Clock::now();
    if (CleanupPass() != kEntries / 2) std::exit(1);
    fastest = std::min(fastest, Milliseconds(Clock::now() - start));
  }
  return fastest;
}

double HitsWithCleanupRatio(const std::vector<sim::SimActor*>& victims, sim::SimActor* attacker) {
  auto hits = [&] {
    Clock::time_point start = Clock::now();
    for (int round = 0; round < 2; ++round) {
      for (sim::SimActor* victim : victims) {
        (void)qx::GateHealthChange(victim, -5.0f, attacker, nullptr);
      }
    }
    return Clock::now() - start;
  };
  double alone = 1e9, contended = 1e9;
  // The table as the passes find it (nothing in it expires at the fixed clock), and every
  // victim's gating window already open, so both sides measure the same steady hits.
  FillImmunityTable(false);
  (void)hits();
  // In turn, a block of runs at a time: stopping the cleanup thread waits for its pass to end.
  for (int block = 0; block < kHitRuns / kHitRunsPerBlock; ++block) {
    for (int run = 0; run < kHitRunsPerBlock; ++run) alone = std::min(alone, Milliseconds(hits()));
    std::atomic<bool> running{true};
    std::thread cleanup([&] {
      while (running) (void)CleanupPass();
    });
    for (int run = 0; run < kHitRunsPerBlock; ++run) contended = std::min(contended, Milliseconds(hits()));
    running = false;
    cleanup.join();
  }
  std::fprintf(stderr, "hits: %.3f ms alone, %.3f ms beside the cleanup\n", alone, contended);
  return contended / alone;
}

constexpr std::string_view kSettings =
    "[general]\nenableavpercentfix=1\nenablehealthgating=1\n"
    "[healthgating]\nisenabled=1\nformainplayeronly=0\nminhealthpercent=0.5\n"
    "resulthealthpercent=0.1\nimmunitytimemillis=10000\ngatingwindowmillis=17\n"
    "cleanuppollingtimemillis=4294967295\n";

}  // namespace

int main() {
  // The game's region and actors; the settings as the plugin reads them, handed to the
  // gating code as the install step does (no cleanup thread of the plugin's own runs).
  IDebugLog::consoleLevel = 1;
  sim::Game::Start();
  static qx::ProjectIni settings;
  settings.ReadWithoutValidating(qx::SettingsDocument::Parse(kSettings));
  qx::gHealthGatingSettings = &settings;
  qx::gGatingClock = &FixedClock;
  std::vector<sim::SimActor*> victims;
  for (std::size_t i = 0; i < kVictims; ++i) {
    victims.push_back(sim::NewActor(0x1000 + i, 0xFF001000 + i));
    victims.back()->SetActorValue(qx::game::kActorValue_Health, 100.0f, 80.0f);
  }
  sim::SimActor* attacker = sim::NewActor(0x15);

  if (qxbench::UnderCallgrind()) {
    FillImmunityTable(true);
    qxbench::CountSegment("cleanup.pass", kEntries, [&] { (void)CleanupPass(); });
    return 0;
  }
  FillImmunityTable(true);
  (void)CleanupPass();
  FillImmunityTable(false);
  (void)CleanupPass();
  std::uint64_t before = sim::CurrentHeapCount().allocations;
  for (int i = 0; i < 10; ++i) (void)CleanupPass();
  qxbench::Report("cleanup.allocations", static_cast<double>(sim::CurrentHeapCount().allocations - before) / 10);
  double cpuMs = 0, wallMs = 0;
  LongestLockStretch(cpuMs, wallMs);
  qxbench::Report("cleanup.stretch.ms", cpuMs);
  qxbench::Report("cleanup.stretch.wall.ms", wallMs);
  qxbench::Report("cleanup.pass.ms", PassMilliseconds());
  qxbench::Report("hits.cleanup.wall", HitsWithCleanupRatio(victims, attacker));
  return 0;
}
