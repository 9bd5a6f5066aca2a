#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <thread>

#include "common/IDebugLog.h"
#include "sim/GameFolders.h"
#include "tests/stress/Stress.h"

namespace stress {
namespace {

constexpr std::uint64_t kFailuresPrinted = 20;

std::atomic<std::uint64_t> gFailures{0};
// Each thread writes only its own entries; the main thread reads them once all have stopped.
std::uint32_t gLogged[kMaxThreads];
Figures gFigures[kMaxThreads];

std::int64_t SteadyMillis() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr const char kStepPrefix[] = "QX Stress: thread ";

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

void EndStep(int thread) {
  LogMessage("%s%d step %u", kStepPrefix, thread, gLogged[thread]++);
  ++gFigures[thread].logLines;
  ++gFigures[thread].steps;
  std::this_thread::yield();
}

void CheckLog(int threads) {
  std::string log = sim::GameFolders::ReadLog();
  std::uint32_t next[kMaxThreads] = {};
  std::size_t from = 0;
  while (from < log.size()) {
    std::size_t end = log.find('\n', from);
    if (end == std::string::npos) {
      Fail("the log ends inside a line: %.60s", log.c_str() + from);
      break;
    }
    std::string_view line(log.data() + from, end - from);
    from = end + 1;
    std::size_t at = line.find("QX Stress");
    if (at == std::string_view::npos) continue;
    int thread = -1;
    unsigned step = 0;
    int used = 0;
    std::string whole(line);
    if (at != 0 || std::sscanf(whole.c_str(), "QX Stress: thread %d step %u%n", &thread, &step, &used) != 2 ||
        used != static_cast<int>(whole.size()) || thread < 0 || thread >= threads) {
      Fail("a torn or mixed log line: '%s'", whole.c_str());
      continue;
    }
    if (step != next[thread]) {
      Fail("thread %d's log line %u follows its line %u", thread, step, next[thread] - 1);
    }
    next[thread] = step + 1;
  }
  for (int thread = 0; thread < threads; ++thread) {
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
