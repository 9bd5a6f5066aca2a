#pragma once
// The thread stress: nine threads drive the plugin's shared state at once, through the same
// doors the game and scripts use, and check afterwards that nothing was lost, doubled, torn
// or miscounted. Each part (files, books, text functions, health gating) is one worker kind
// with a set-up before the threads start and a check after they have stopped.
#include <cstdarg>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "sim/Vm.h"
#include "tests/stress/Threads.h"

namespace stress {

using sim::ScriptValue;
using sim::Vm;

// Work is done in steps; a worker runs steps until the run's time is up.
struct Run {
  std::int64_t endMillis;  // steady clock
  [[nodiscard]] bool Over() const;
};

// What one thread did, for the closing figures. Each thread counts in its own entry, and
// main adds them up once all have stopped: no counter is shared while the threads run.
struct Figures {
  std::uint64_t steps = 0;
  std::uint64_t fileLines = 0;
  std::uint64_t hits = 0;
  std::uint64_t bookCalls = 0;
  std::uint64_t textCalls = 0;
  std::uint64_t logLines = 0;
  std::uint64_t threadExits = 0;
};
inline constexpr int kMaxThreads = 16;
// The calling thread's entry, once main has told the thread its number.
void BeginThread(int thread);
[[nodiscard]] Figures& Mine();
[[nodiscard]] Figures Sum();

// An invariant that did not hold: printed (the first few) and counted; the run then fails.
void Fail(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
[[nodiscard]] std::uint64_t Failures();

// The end of a step: one line in the plugin's log from the thread, made by a script call
// whose answer the plugin logs, numbered per thread (checked at the end: each thread's lines
// all there, once, in order, and whole); the step is counted; and the thread lets the
// others run, so that under valgrind, which runs one thread at a time, the threads that wait
// on the system get their turns between the busy ones. SetUpLog makes the game objects of
// those calls, before the plugin boots.
void SetUpLog();
void EndStep(int thread);
void CheckLog(int threads);

// A script call by class and function name; the result is released.
void Call(const char* className, const char* function, const std::vector<ScriptValue>& arguments);
[[nodiscard]] bool BoolCall(const char* className, const char* function,
                            const std::vector<ScriptValue>& arguments);
[[nodiscard]] std::int32_t IntCall(const char* className, const char* function,
                                   const std::vector<ScriptValue>& arguments);
[[nodiscard]] std::string TextCall(const char* className, const char* function,
                                   const std::vector<ScriptValue>& arguments);
// The game object of an object result (null for none).
[[nodiscard]] void* ObjectCall(const char* className, const char* function,
                               const std::vector<ScriptValue>& arguments);

// Main's request to the two threads that run on to the end, and their answer: each meets
// main at the barrier once it has closed its file.
inline constexpr int kLingeringThreads = 2;
struct Quiet {
  std::mutex mutex;
  bool asked = false;  // under the mutex
  Barrier settled{kLingeringThreads + 1};
};

// One of the eight threads: its number in the log, and its number among the workers of its
// kind (from 0).
struct Worker {
  int thread;
  int index;
};

// The worker kinds. Set-up runs before the plugin boots (game data) or after (files).
namespace files {
void SetUp(const std::string& folder);
void Work(const Worker& worker, const Run& run);
// Starts short-lived threads, each kind in turn, that end while holding the file they used
// last; some of those files were closed meanwhile, so the thread's end drops the last
// reference. What they wrote must be in their files.
void Exits(const Worker& worker, const Run& run);
// A script thread that never stops: the process ends under it. Once main asks for quiet it
// opens no more files (so that they can be removed) and says so, and goes on with calls
// that need none.
void Linger(int index, Quiet& quiet);
void Check();
}  // namespace files

namespace books {
void SetUpGameData();
void Work(const Worker& worker, const Run& run);
void Check();
}  // namespace books

// Health gating as the stress sets it (the settings text uses the same numbers). In the
// Linux build the stress sets the plugin's gating clock and moves it on between rounds; the
// DLL keeps its own clock, so there a victim stays immune long enough for a whole round.
namespace gating {
#ifdef _WIN32
inline constexpr std::uint32_t kImmunityMillis = 250;
#else
inline constexpr std::uint32_t kImmunityMillis = 1;
#endif
inline constexpr float kResultFraction = 0.1f;
void SetUpGameData();
void Work(const Worker& worker, const Run& run);
// Prints how many rounds were judged; at least one must have been.
void Check();
}  // namespace gating

namespace text {
void Work(const Worker& worker, const Run& run);
}  // namespace text

}  // namespace stress
