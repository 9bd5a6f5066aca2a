// qx_stress [--seconds N]: boots the plugin in the simulated game and runs eight threads
// against it for N seconds (3 by default), beside the plugin's own polling and cleanup
// threads; then checks what the threads left and prints the figures. Exit code 0 only when
// every check held.
//
// The threads are never joined: main waits at a barrier until each has said it is done. The process then ends as the game's does, with the plugin's detached threads
// still running and without running destructors under them.
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "sim/Game.h"
#include "sim/GameFolders.h"
#include "tests/stress/Stress.h"

namespace {

using namespace stress;

constexpr const char kSettings[] =
    "[general]\n"
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
    "immunitytimemillis=1\n"
    "gatingwindowmillis=1\n"
    "cleanuppollingtimemillis=1001\n";

using WorkFn = void (*)(const Worker&, const Run&);
struct Slot {
  WorkFn work;
  int index;
};
// The eight threads, by what they drive.
constexpr Slot kThreads[] = {
    {&files::Work, 0},  {&files::Work, 1},  {&gating::Work, 0}, {&gating::Work, 1},
    {&gating::Work, 2}, {&books::Work, 0},  {&books::Work, 1},  {&text::Work, 0},
};
constexpr int kThreadCount = static_cast<int>(std::size(kThreads));

// Main and the eight threads meet here once the threads are done (a barrier, which the
// race detectors understand as ordering everything before it).
pthread_barrier_t gDone;

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

[[noreturn]] void End(int code) {
  std::fflush(nullptr);
  if (std::getenv("QXSIM_KEEP") == nullptr) {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(sim::GameFolders::GameFolder()).parent_path(), ignored);
  }
  _exit(code);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = SecondsFrom(argc, argv);
  sim::Game::Start();
  books::SetUpGameData();
  gating::SetUpGameData();
  sim::BootOptions options;
  options.settings = kSettings;
  if (!sim::Game::Boot(options).loaded) {
    std::fprintf(stderr, "stress: the plugin did not load\n");
    End(1);
  }
  sim::Game::SendDataLoaded();
  std::string folder = sim::JoinPath(sim::GameFolders::DocumentsFolder(), "/stress");
  std::filesystem::create_directories(folder);
  files::SetUp(folder);

  Run run{NowMillis() + 1000LL * seconds};
  pthread_barrier_init(&gDone, nullptr, kThreadCount + 1);
  for (int thread = 0; thread < kThreadCount; ++thread) {
    std::thread([thread, &run] {
      BeginThread(thread);
      kThreads[thread].work(Worker{thread, kThreads[thread].index}, run);
      pthread_barrier_wait(&gDone);
    }).detach();
  }
  pthread_barrier_wait(&gDone);

  files::Check();
  books::Check();
  CheckLog(kThreadCount);

  Figures totals = Sum();
  auto n = [](std::uint64_t count) { return static_cast<unsigned long long>(count); };
  std::printf("stress: %d s, %d threads: %llu iterations (%llu file lines, %llu hits, %llu book calls, "
              "%llu text calls, %llu log lines); %llu failures\n",
              seconds, kThreadCount, n(totals.steps), n(totals.fileLines), n(totals.hits),
              n(totals.bookCalls), n(totals.textCalls), n(totals.logLines), n(Failures()));
  End(Failures() == 0 ? 0 : 1);
}
