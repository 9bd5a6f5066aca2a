// Script file calls from two threads: each writes and reads back files of its own with
// changing buffer sizes, and both write to one shared file that one of them keeps closing,
// so opens, writes and closes of one path race. Every line a WriteLine accepted must be in
// the file once, whole, in its thread's order; no refused line may be. Both also take lines
// of one file open for reading: each line goes to one of them, whole, in the file's order.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/GameFolders.h"
#include "tests/stress/Stress.h"
#include "tests/stress/Threads.h"

namespace stress::files {
namespace {

constexpr int kWorkers = 2;
constexpr const char* kClass = "QXIOUtil";

std::string gDistinct[kWorkers];
std::string gShared;
std::string gSharedRead;
constexpr std::uint32_t kSharedReadLines = 1 << 16;
// The numbers of the shared read file's lines each worker took; only that worker adds.
std::vector<std::uint32_t> gTaken[kWorkers];
std::string gExitPath;
constexpr int kLingering = kLingeringThreads;
std::string gLingerPaths[kLingering];
// Sequence numbers of the shared lines each worker had accepted; only that worker writes.
std::vector<std::uint32_t> gAccepted[kWorkers];

ScriptValue Text(const std::string& text) { return Vm::String(text); }

bool Load(const std::string& path, bool read, bool append, int bufferSize) {
  return BoolCall(kClass, "LoadFile", {Text(path), Vm::Bool(read), Vm::Bool(append), Vm::Int(bufferSize)});
}

bool Close(const std::string& path) { return BoolCall(kClass, "CloseFile", {Text(path)}); }

std::string LineOf(int worker, std::uint32_t step, int line) {
  // Lengths vary so that batches end anywhere inside the streams' own buffers.
  // The game interns every text for good: lines repeat after a while to keep memory flat.
  step %= 1024;
  std::string text = "worker " + std::to_string(worker) + " step " + std::to_string(step) + " line " +
                     std::to_string(line) + " ";
  text.append(static_cast<std::size_t>((step * 7 + static_cast<std::uint32_t>(line) * 13) % 300), 'x');
  return text;
}

// Writes a file of its own and reads it back.
void WriteAndReadBack(int worker, std::uint32_t step) {
  const std::string& path = gDistinct[worker];
  int lines = 1 + static_cast<int>(step % 7);
  if (!Load(path, /*read=*/false, /*append=*/false, 1 + static_cast<int>(step % 4))) {
    Fail("worker %d could not open its file for writing", worker);
    return;
  }
  for (int line = 0; line < lines; ++line) {
    if (!BoolCall(kClass, "WriteLine", {Text(path), Text(LineOf(worker, step, line))})) {
      Fail("worker %d: WriteLine on its own file was refused", worker);
    }
    ++Mine().fileLines;
  }
  if (!Close(path)) Fail("worker %d: closing its written file failed", worker);

  if (!Load(path, /*read=*/true, /*append=*/false, 1 + static_cast<int>(step % 3))) {
    Fail("worker %d could not open its file for reading", worker);
    return;
  }
  int read = 0;
  while (BoolCall(kClass, "HasNextLine", {Text(path)})) {
    std::string got = TextCall(kClass, "NextLine", {Text(path)});
    if (read >= lines || got != LineOf(worker, step, read)) {
      Fail("worker %d step %u: line %d reads back as '%.60s'", worker, step, read, got.c_str());
    }
    ++read;
  }
  if (read != lines) Fail("worker %d step %u: wrote %d lines, read back %d", worker, step, lines, read);
  if (!Close(path)) Fail("worker %d: closing its read file failed", worker);

  if (step % 8 == 7) {
    if (!BoolCall(kClass, "DeleteAnyFile", {Text(path)})) Fail("worker %d: deleting its file failed", worker);
    if (BoolCall(kClass, "ExistsFile", {Text(path)})) Fail("worker %d: its deleted file still exists", worker);
  }
}

// One line for the shared file; worker 1 also closes it now and then.
void WriteShared(int worker, std::uint32_t step) {
  (void)Load(gShared, /*read=*/false, /*append=*/true, 3);
  std::uint32_t sequence = static_cast<std::uint32_t>(gAccepted[worker].size());
  char line[64];
  std::snprintf(line, sizeof line, "shared %d %u", worker, sequence);
  if (BoolCall(kClass, "WriteLine", {Text(gShared), Text(line)})) {
    gAccepted[worker].push_back(sequence);
    ++Mine().fileLines;
  }
  (void)BoolCall(kClass, "IsLoaded", {Text(gShared)});
  if (worker == 1 && step % 5 == 4) (void)Close(gShared);
}

// One line of the shared read file, if one is left: opened by whoever comes first.
void TakeSharedLine(int worker) {
  (void)Load(gSharedRead, /*read=*/true, /*append=*/false, 3);
  if (!BoolCall(kClass, "HasNextLine", {Text(gSharedRead)})) return;
  std::string line = TextCall(kClass, "NextLine", {Text(gSharedRead)});
  if (line == "\x07") return;  // the other worker took the last line in between
  unsigned number = 0;
  int used = 0;
  if (std::sscanf(line.c_str(), "read %u%n", &number, &used) != 1 || used != static_cast<int>(line.size()) ||
      (!gTaken[worker].empty() && number <= gTaken[worker].back())) {
    Fail("worker %d took '%.60s' from the shared read file, out of order or torn", worker, line.c_str());
    return;
  }
  gTaken[worker].push_back(number);
}

// What the file at `path` holds, line by line.
std::vector<std::string> LinesIn(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// One short-lived thread: it opens the file and writes a line, so that the file is the one
// it remembers last, and ends while still holding it. On even cycles the file is closed
// before the thread ends, which leaves the ending thread with the last reference.
void ExitCycle(std::uint32_t cycle) {
  bool closedFirst = cycle % 2 == 0;
  ThreadKind kind = (cycle / 2) % 2 == 0 ? ThreadKind::kSystem : ThreadKind::kLibrary;
  std::string first = "exit " + std::to_string(cycle);
  std::string second = first + " after the thread";
  Barrier handover(2);
  bool wrote = false;
  StressThread thread;
  bool started = thread.Start(kind, [&] {
    wrote = Load(gExitPath, /*read=*/false, /*append=*/false, 1 + static_cast<int>(cycle % 3)) &&
            BoolCall(kClass, "WriteLine", {Text(gExitPath), Text(first)}) &&
            BoolCall(kClass, "IsLoaded", {Text(gExitPath)});
    handover.Wait();  // the file is the thread's last
    handover.Wait();  // closed meanwhile, or still open
  });
  if (!started) {
    Fail("the system refused a thread");
    return;
  }
  handover.Wait();
  if (!wrote) Fail("a short-lived thread could not write its file");
  if (closedFirst && !Close(gExitPath)) Fail("closing the file a living thread used last failed");
  handover.Wait();
  thread.Join();
  ++Mine().threadExits;

  std::vector<std::string> wanted{first};
  if (!closedFirst) {
    // The thread's end released only its own hold: the file is still open for the others.
    if (!BoolCall(kClass, "IsLoaded", {Text(gExitPath)})) Fail("a thread's end closed the file it used last");
    if (!BoolCall(kClass, "WriteLine", {Text(gExitPath), Text(second)})) {
      Fail("the file an ended thread used last refuses lines");
    }
    wanted.push_back(second);
    if (!Close(gExitPath)) Fail("closing the file an ended thread used last failed");
  }
  if (LinesIn(gExitPath) != wanted) Fail("cycle %u: the file a thread used last holds other lines", cycle);
}

}  // namespace

void SetUp(const std::string& folder) {
  // (Names made with snprintf: GCC 12 warns of an overlap that cannot happen in "/a" + text.)
  auto numbered = [&](const char* name, int number) {
    char text[64];
    std::snprintf(text, sizeof text, "/%s-%d.txt", name, number);
    return sim::JoinPath(folder, text);
  };
  gExitPath = sim::JoinPath(folder, "/exit.txt");
  for (int linger = 0; linger < kLingering; ++linger) gLingerPaths[linger] = numbered("linger", linger);
  for (int worker = 0; worker < kWorkers; ++worker) gDistinct[worker] = numbered("distinct", worker);
  gShared = sim::JoinPath(folder, "/shared.txt");
  gSharedRead = sim::JoinPath(folder, "/shared-read.txt");
  std::ofstream read(gSharedRead);
  for (std::uint32_t line = 0; line < kSharedReadLines; ++line) read << "read " << line << '\n';
}

void Work(const Worker& worker, const Run& run) {
  for (std::uint32_t step = 0; !run.Over(); ++step) {
    WriteAndReadBack(worker.index, step);
    WriteShared(worker.index, step);
    TakeSharedLine(worker.index);
    EndStep(worker.thread);
  }
}

void Exits(const Worker& worker, const Run& run) {
  for (std::uint32_t cycle = 0; !run.Over(); ++cycle) {
    ExitCycle(cycle);
    EndStep(worker.thread);
  }
}

void Linger(int index, Quiet& quiet) {
  const std::string& path = gLingerPaths[index % kLingering];
  bool settled = false;
  for (std::uint32_t step = 0;; ++step) {
    if (!settled) {
      bool asked;
      {
        std::lock_guard<std::mutex> lock(quiet.mutex);
        asked = quiet.asked;
      }
      if (asked) {
        (void)Close(path);
        quiet.settled.Wait();
        settled = true;
      }
    }
    if (!settled) {
      (void)Load(path, /*read=*/false, /*append=*/step % 8 != 0, 2);
      (void)BoolCall(kClass, "WriteLine", {Text(path), Text(LineOf(index, step, 0))});
      if (step % 4 == 3) (void)Close(path);
    } else {
      (void)BoolCall(kClass, "IsLoaded", {Text(path)});
      (void)TextCall("QXStringUtil", "DecToHex", {Vm::Int(static_cast<std::int32_t>(step % 4096)), Vm::Int(4)});
    }
    std::this_thread::yield();
  }
}

void Check() {
  (void)Close(gSharedRead);
  std::vector<std::uint32_t> taken;
  for (const std::vector<std::uint32_t>& mine : gTaken) taken.insert(taken.end(), mine.begin(), mine.end());
  std::sort(taken.begin(), taken.end());
  if (std::adjacent_find(taken.begin(), taken.end()) != taken.end()) Fail("a line of the shared read file went to both");

  (void)Close(gShared);  // writes out what is still buffered
  std::ifstream in(gShared);
  std::size_t next[kWorkers] = {};
  std::string line;
  while (std::getline(in, line)) {
    int worker = -1;
    unsigned sequence = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "shared %d %u%n", &worker, &sequence, &used) != 2 ||
        used != static_cast<int>(line.size()) || worker < 0 || worker >= kWorkers) {
      Fail("a torn line in the shared file: '%.60s'", line.c_str());
      continue;
    }
    std::vector<std::uint32_t>& accepted = gAccepted[worker];
    if (next[worker] >= accepted.size() || accepted[next[worker]] != sequence) {
      Fail("shared file: worker %d's line %u is doubled, out of order or was refused", worker, sequence);
      continue;
    }
    ++next[worker];
  }
  for (int worker = 0; worker < kWorkers; ++worker) {
    if (next[worker] != gAccepted[worker].size()) {
      Fail("shared file: worker %d had %zu lines accepted, the file holds %zu", worker,
           gAccepted[worker].size(), next[worker]);
    }
  }
}

}  // namespace stress::files
