#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

#include "common/LineBudget.h"
#include "sim/Actors.h"
#include "sim/GameFolders.h"
#include "sim/Magic.h"
#include "tests/stress/Stress.h"

namespace stress {
namespace {

constexpr std::uint64_t kFailuresPrinted = 20;

std::atomic<std::uint64_t> gFailures{0};
// Each thread writes only its own entries; the main thread reads them once all have stopped.
std::uint32_t gLogged[kMaxThreads];
Figures gFigures[kMaxThreads];
std::int64_t gLogStartMillis = 0;

std::int64_t SteadyMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Each thread logs its steps through a script call the plugin answers with a log line: a
// spell that is no ability, whose form ID names the thread and whose type is the step.
constexpr std::uint32_t kActorType = 0x3E;
constexpr std::uint32_t kSpellType = 0x16;
constexpr std::uint32_t kLogSpellBase = 0x00005000;
constexpr std::uint32_t kLogStepBase = 0x00010000;  // never the ability type
sim::SimActor* gLogActor = nullptr;
sim::SimSpell* gLogSpells[kMaxThreads];
constexpr const char kStepPrefix[] = "QX Scale Ability Effects: spell ";

// Calls as a script does; the arguments are the caller's, given back once the call is over.
ScriptValue Result(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Vm::CallNative(className, function, arguments);
  for (ScriptValue argument : arguments) Vm::Release(argument);
  return result;
}

}  // namespace

bool Run::Over() const { return SteadyMillis() >= endMillis; }

thread_local int tThread = 0;

void BeginThread(int thread) { tThread = thread; }

Figures& Mine() { return gFigures[tThread]; }

Figures Sum() {
  Figures sum;
  for (const Figures& f : gFigures) {
    sum.steps += f.steps;
    sum.fileLines += f.fileLines;
    sum.hits += f.hits;
    sum.bookCalls += f.bookCalls;
    sum.textCalls += f.textCalls;
    sum.logLines += f.logLines;
    sum.threadExits += f.threadExits;
  }
  return sum;
}

void Fail(const char* format, ...) {
  if (gFailures.fetch_add(1) >= kFailuresPrinted) return;
  char text[512];
  std::va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::fprintf(stderr, "stress: FAILED: %s\n", text);
}

std::uint64_t Failures() { return gFailures.load(); }

void SetUpLog() {
  gLogStartMillis = SteadyMillis();
  gLogActor = sim::NewActor(0x00040000, 0xFF004000);
  Vm::Adopt(static_cast<qx::game::Actor*>(gLogActor), kActorType);
  for (int thread = 0; thread < kMaxThreads; ++thread) {
    gLogSpells[thread] = sim::NewSpell(kLogSpellBase + static_cast<std::uint32_t>(thread), kLogStepBase, {});
    Vm::Adopt(gLogSpells[thread], kSpellType);
  }
}

void EndStep(int thread) {
  gLogSpells[thread]->spellType = kLogStepBase + gLogged[thread]++;
  if (!BoolCall("QXAEUtil", "ScaleAbilityEffects",
                {Vm::Object(static_cast<qx::game::Actor*>(gLogActor), kActorType), Vm::Object(gLogSpells[thread], kSpellType),
                 Vm::None(), Vm::None(), Vm::None(), Vm::None(), Vm::None(), Vm::None(), Vm::None()})) {
    Fail("ScaleAbilityEffects of a spell that is no ability answered false");
  }
  ++gFigures[thread].logLines;
  ++gFigures[thread].steps;
  std::this_thread::yield();
}

void CheckLog(int threads) {
  std::string log = sim::GameFolders::ReadLog();
  std::uint32_t next[kMaxThreads] = {};
  std::uint64_t written = 0;  // step lines in the log
  std::uint64_t leftOut = 0;  // step lines the log counts instead
  std::size_t from = 0;
  while (from < log.size()) {
    std::size_t end = log.find('\n', from);
    // The lingering script threads still log while this reads: a last line without its line
    // feed is theirs, being written. The checked threads have all ended, so every line of
    // theirs is whole and before it; a torn one shows among the lines read.
    if (end == std::string::npos) break;
    std::string_view line(log.data() + from, end - from);
    from = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);  // Windows writes the log in text mode
    std::size_t at = line.find(kStepPrefix);
    if (at == std::string_view::npos) continue;
    std::string whole(line);
    unsigned long long count = 0;
    if (std::sscanf(whole.c_str(), "QX: left out %llu more lines like \"", &count) == 1) {
      leftOut += count;
      continue;
    }
    unsigned spell = 0;
    unsigned type = 0;
    int used = 0;
    bool parsed = at == 0 &&
                  std::sscanf(whole.c_str(), "QX Scale Ability Effects: spell %8X is not an ability; received %u%n",
                              &spell, &type, &used) == 2 &&
                  used == static_cast<int>(whole.size()) && spell >= kLogSpellBase && type >= kLogStepBase;
    int thread = parsed ? static_cast<int>(spell - kLogSpellBase) : -1;
    std::uint32_t step = type - kLogStepBase;
    if (!parsed || thread >= threads) {
      Fail("a torn or mixed log line: '%s'", whole.c_str());
      continue;
    }
    if (step < next[thread]) {
      Fail("thread %d's log line %u follows its line %u", thread, step, next[thread] - 1);
    }
    next[thread] = step + 1;
    ++written;
  }
  // The log writes the first lines of a kind, then one every ten seconds, and counts the rest;
  // a count is written before the next line of its kind, so the last may not be written yet.
  std::uint64_t logged = 0;
  for (int thread = 0; thread < threads; ++thread) logged += gLogged[thread];
  std::uint64_t atOnce = qx::LineBudget::kLinesAtOnce;
  std::uint64_t later = static_cast<std::uint64_t>(SteadyMillis() - gLogStartMillis) / qx::LineBudget::kMillisPerLine + 1;
  if (written < std::min(logged, atOnce) || written > atOnce + later || written + leftOut > logged) {
    Fail("the threads logged %llu lines; the log holds %llu and counts %llu more", static_cast<unsigned long long>(logged),
         static_cast<unsigned long long>(written), static_cast<unsigned long long>(leftOut));
  }
  for (int thread = 0; thread < threads && logged <= atOnce; ++thread) {
    if (next[thread] != gLogged[thread]) {
      Fail("thread %d logged %u lines; the log holds %u", thread, gLogged[thread], next[thread]);
    }
  }
}

void Call(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Result(className, function, arguments);
  Vm::Release(result);
}

bool BoolCall(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Result(className, function, arguments);
  if (result.type != qx::papyrus::kType_Bool) Fail("%s.%s gave type %u, not a bool", className, function, result.type);
  bool answer = (result.data & 0xFF) != 0;
  Vm::Release(result);
  return answer;
}

std::int32_t IntCall(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Result(className, function, arguments);
  if (result.type != qx::papyrus::kType_Int) Fail("%s.%s gave type %u, not an int", className, function, result.type);
  auto answer = static_cast<std::int32_t>(result.data);
  Vm::Release(result);
  return answer;
}

std::string TextCall(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Result(className, function, arguments);
  if (result.type != qx::papyrus::kType_String) Fail("%s.%s gave type %u, not a string", className, function, result.type);
  std::string answer = Vm::Text(result);
  Vm::Release(result);
  return answer;
}

void* ObjectCall(const char* className, const char* function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Result(className, function, arguments);
  void* object = Vm::GameObjectOf(result);
  Vm::Release(result);
  return object;
}

}  // namespace stress
