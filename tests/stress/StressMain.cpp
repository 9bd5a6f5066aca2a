// qx_stress [--seconds N]: boots the plugin in the simulated game and runs nine threads
// against it for N seconds (3 by default), beside the plugin's own polling and cleanup
// threads and two script threads that never stop; then checks what the nine left and prints
// the figures. Exit code 0 only when every check held. In the Windows build the plugin is
// the real DLL, reached only through its entry points, the script machine and the game's
// patched code.
//
// The nine are joined before the checks: each has ended, its thread-local objects and the
// plugin's per-thread state released, before main looks at what they left. The process then
// ends as the game's does, with the plugin's threads and the two script threads still
// running, and without running destructors under them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "tests/stress/Stress.h"
#include "tests/stress/Threads.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

using namespace stress;

std::string Settings() {
  return "[general]\n"
         "enableavpercentfix=1\n"
         "enablehealthgating=1\n"
         "[books]\n"
         "skillreadpollingtimemillis=1\n"
         "[healthgating]\n"
         "isenabled=1\n"
         "enablephysical=1\n"
         "enablemagic=1\n"
         "formainplayeronly=0\n"
         "requirebelowattackerhealth=0\n"
         "requirebelowattackerstamina=0\n"
         "minhealthpercent=0.5\n"
         "resulthealthpercent=0.1\n"
         "immunitytimemillis=" + std::to_string(gating::kImmunityMillis) + "\n"
         "gatingwindowmillis=1\n"
         // The least the plugin takes: immunitytimemillis + 1000.
         "cleanuppollingtimemillis=" + std::to_string(gating::kImmunityMillis + 1000) + "\n";
}

using WorkFn = void (*)(const Worker&, const Run&);
struct Slot {
  WorkFn work;
  int index;
  ThreadKind kind;
};
// The nine threads, by what they drive and how they are started.
constexpr Slot kThreads[] = {
    {&files::Work, 0, ThreadKind::kSystem},    {&files::Work, 1, ThreadKind::kLibrary},
    {&gating::Work, 0, ThreadKind::kLibrary},  {&gating::Work, 1, ThreadKind::kSystem},
    {&gating::Work, 2, ThreadKind::kLibrary},  {&books::Work, 0, ThreadKind::kSystem},
    {&books::Work, 1, ThreadKind::kLibrary},   {&text::Work, 0, ThreadKind::kSystem},
    {&files::Exits, 0, ThreadKind::kLibrary},
};
constexpr int kThreadCount = static_cast<int>(std::size(kThreads));
constexpr ThreadKind kLingeringKinds[kLingeringThreads] = {ThreadKind::kSystem, ThreadKind::kLibrary};

std::int64_t NowMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int SecondsFrom(int argc, char** argv) {
  int seconds = 3;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: qx_stress [--seconds N]\n");
      std::exit(2);
    }
  }
  return seconds > 0 ? seconds : 1;
}

// Ends the process at once, as the game's ends: threads still running, no destructors run
// under them (on Windows the plugin still sees its process detach).
[[noreturn]] void End(int code) {
  std::fflush(nullptr);
  if (std::getenv("QXSIM_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(sim::GameFolders::GameFolder()).parent_path(), ignored);
  }
#ifdef _WIN32
  ExitProcess(static_cast<UINT>(code));
#else
  std::_Exit(code);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = SecondsFrom(argc, argv);
  sim::Game::Start();
  books::SetUpGameData();
  gating::SetUpGameData();
  SetUpLog();
  sim::BootOptions options;
  options.settings = Settings();
  if (!sim::Game::Boot(options).loaded) {
    std::fprintf(stderr, "stress: the plugin did not load\n");
    End(1);
  }
  sim::Game::SendDataLoaded();
  std::string folder = sim::JoinPath(sim::GameFolders::DocumentsFolder(), "/My Games/Skyrim/stress");
  std::filesystem::create_directories(folder);
  files::SetUp(folder);

  // Never destroyed, as every object a detached thread uses: the two script threads run
  // until the process ends under them, and nothing here may end before they do.
  Quiet& quiet = *new Quiet;
  StressThread lingering[std::size(kLingeringKinds)];
  for (std::size_t i = 0; i < std::size(kLingeringKinds); ++i) {
    if (!lingering[i].Start(kLingeringKinds[i], [i, &quiet] { files::Linger(static_cast<int>(i), quiet); })) {
      std::fprintf(stderr, "stress: the system refused a thread\n");
      End(1);
    }
    lingering[i].Detach();
  }

  Run run{NowMillis() + 1000LL * seconds};
  StressThread threads[kThreadCount];
  for (int thread = 0; thread < kThreadCount; ++thread) {
    const Slot& slot = kThreads[thread];
    if (!threads[thread].Start(slot.kind, [thread, &slot, &run] {
          BeginThread(thread);
          slot.work(Worker{thread, slot.index}, run);
        })) {
      std::fprintf(stderr, "stress: the system refused a thread\n");
      End(1);
    }
  }
  for (StressThread& thread : threads) thread.Join();

  files::Check();
  books::Check();
  gating::Check();
  CheckLog(kThreadCount);

  Figures totals = Sum();
  auto n = [](std::uint64_t count) { return static_cast<unsigned long long>(count); };
  std::printf("stress: %d s, %d threads: %llu iterations (%llu file lines, %llu hits, %llu book calls, "
              "%llu text calls, %llu log lines, %llu thread exits); %llu failures\n",
              seconds, kThreadCount, n(totals.steps), n(totals.fileLines), n(totals.hits),
              n(totals.bookCalls), n(totals.textCalls), n(totals.logLines), n(totals.threadExits),
              n(Failures()));

  // The two script threads stop opening files, so that the folder can go; they run on.
  {
    std::lock_guard<std::mutex> lock(quiet.mutex);
    quiet.asked = true;
  }
  quiet.settled.Wait();
  End(Failures() == 0 ? 0 : 1);
}
