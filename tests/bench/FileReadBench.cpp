// fileio_bench [megabytes=50]: the script file functions against the standard streams, on
// one file of short and long lines written in a fresh temporary folder. Every file the
// script functions read has a path of kPathLength characters, passed as the game passes a
// script's string: the string cache's copy, which the plugin keeps.
//
//   reading: HasNextLine + NextLine per line (buffer sizes 1, 4096 and 2^31 - 1 lines)
//            against a std::getline loop; both must see the same lines. And two files read
//            a line of each in turn (buffer 4096), against two getline loops in turn.
//   writing: WriteLine per line + CloseFile against an std::ofstream; both must write the
//            same bytes.
//   opening: LoadFile + CloseFile of a small file for appending, the path judged and the
//            file's first block read for a zero byte, against the same pair without either.
//   refused: LoadFile of a path outside the folders scripts may write in, in a loop, with the
//            log open: instructions of a call whose line the log leaves out against one whose
//            line it writes, the calls a second, and how much an hour of such a loop at that
//            rate grows the log (the first 15 simulated seconds run call by call on the log's
//            own clock, the rest of the hour at the growth of their last ten seconds).
//   memory:  the most heap a reader holds while reading a whole file with a buffer of
//            2^31 - 1 lines, against the longest line: this file, one of empty lines, and
//            one of a 20 MB line; and the heap each of 256 files of 100 bytes (the most
//            scripts may hold) holds while all are open for reading, a line taken from each.
//
// Under callgrind each loop is a counted segment (units: lines); natively (both builds) the
// program prints the wall-time ratios of the same loops, each side timed five times in turn
// in the same run (the fastest of each counts; a side slower than kBudget seconds a round
// stops after two), and the memory figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/IDebugLog.h"
#include "common/LineBudget.h"
#include "papyrus/QXIOUtil.h"
#include "papyrus/files/QXIOUtilCore.h"
#include "papyrus/files/ScriptFolders.h"
#include "papyrus/files/TextFileTable.h"
#include "sim/GameRegion.h"
#include "sim/VmStrings.h"
#include "sim/counting/HeapCounter.h"
#include "tests/bench/BenchSupport.h"

namespace {

struct Tally {
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  std::uint64_t sum = 0;  // keeps the reads from being optimised away and compares them
  void Add(std::string_view line) {
    ++lines;
    bytes += line.size();
    sum = sum * 31 + line.size() + (line.empty() ? 0 : static_cast<unsigned char>(line.back()));
  }
  bool operator==(const Tally&) const = default;
};

std::vector<std::string> SampleLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 1000; ++i) {
    std::size_t length = static_cast<std::size_t>((i * 7919) % 120);  // 0..119 characters
    std::string line = std::to_string(i) + ":";
    while (line.size() < length) line += static_cast<char>('a' + (line.size() * 13 + i) % 26);
    lines.push_back(line);
  }
  return lines;
}

Tally ReadPlain(const std::string& path) {
  Tally tally;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) tally.Add(line);
  return tally;
}

// The length of the read files' paths, as a script in the game's folder may well name them.
constexpr std::size_t kPathLength = 64;

// `name` in `folder`, padded to a path of kPathLength characters.
std::string PathOfLength(const std::filesystem::path& folder, const std::string& name) {
  std::string path = (folder / name).string();
  std::size_t dot = path.rfind('.');
  if (path.size() < kPathLength) path.insert(dot, kPathLength - path.size(), '_');
  return path;
}

// A path as a script passes it: the game's string cache's copy.
const char* ScriptString(const std::string& text) { return sim::VmStrings::Intern(text); }

// Takes a line in place, as the script binding does.
void AddLine(std::string_view line, void* tally) { static_cast<Tally*>(tally)->Add(line); }

Tally ReadScript(const std::string& file, int bufferSize) {
  Tally tally;
  const char* path = ScriptString(file);
  if (!qx::io::LoadFile(path, true, false, bufferSize)) std::exit(1);
  while (qx::io::HasNextLine(path)) qx::io::NextLine(path, &AddLine, &tally);
  (void)qx::io::CloseFile(path);
  return tally;
}

// A line of each file in turn, until both have ended.
Tally ReadPlainInTurn(const std::string& first, const std::string& second) {
  Tally tally;
  std::ifstream one(first), two(second);
  std::string line;
  for (bool more = true; more;) {
    more = false;
    if (std::getline(one, line)) more = true, tally.Add(line);
    if (std::getline(two, line)) more = true, tally.Add(line);
  }
  return tally;
}

Tally ReadScriptInTurn(const std::string& first, const std::string& second, int bufferSize) {
  Tally tally;
  const char* one = ScriptString(first);
  const char* two = ScriptString(second);
  if (!qx::io::LoadFile(one, true, false, bufferSize) || !qx::io::LoadFile(two, true, false, bufferSize)) std::exit(1);
  for (bool more = true; more;) {
    more = false;
    if (qx::io::HasNextLine(one)) more = true, qx::io::NextLine(one, &AddLine, &tally);
    if (qx::io::HasNextLine(two)) more = true, qx::io::NextLine(two, &AddLine, &tally);
  }
  (void)qx::io::CloseFile(one);
  (void)qx::io::CloseFile(two);
  return tally;
}

void WritePlain(const std::string& path, const std::vector<std::string>& sample, std::uint64_t lines) {
  std::ofstream out(path);
  for (std::uint64_t i = 0; i < lines; ++i) out << sample[i % sample.size()] << '\n';
}

void WriteScript(const std::string& file, const std::vector<std::string>& sample, std::uint64_t lines,
                 int bufferSize) {
  const char* path = ScriptString(file);
  if (!qx::io::LoadFile(path, false, false, bufferSize)) std::exit(1);
  for (std::uint64_t i = 0; i < lines; ++i) (void)qx::io::WriteLine(path, sample[i % sample.size()].c_str());
  (void)qx::io::CloseFile(path);
}

// Opening and closing a small file as a script does, the path judged first; and the same
// pair with everything LoadFile and CloseFile do but the judging.
constexpr int kOpenings = 2000;

void OpenAndCloseJudged(const std::string& path) {
  for (int i = 0; i < kOpenings; ++i) {
    if (!qx::io::LoadFile(path.c_str(), /*read=*/false, /*append=*/true, 16)) std::exit(1);
    (void)qx::io::CloseFile(path.c_str());
  }
}

void OpenAndCloseUnjudged(const std::string& path) {
  qx::io::TextFileTable& table = qx::io::TextFileTable::Instance();
  for (int i = 0; i < kOpenings; ++i) {
    {
      std::unique_lock<std::mutex> changes = table.ChangeLock();
      if (table.Find(path)) std::exit(1);
      std::shared_ptr<qx::io::TextFile> file =
          qx::io::TextFile::Load(qx::platform::FilePath::FromScriptText(path), false, true, 16,
                                 qx::io::Contents::kAny);
      if (!file) std::exit(1);
      table.Insert(path, file);
    }
    std::unique_lock<std::mutex> changes = table.ChangeLock();
    std::shared_ptr<qx::io::TextFile> file = table.Find(path);
    (void)file->Close();
    table.Erase(path);
  }
}

std::string BytesOf(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A script's loop of LoadFile calls that are refused, each logging why until the log leaves
// such lines out.
void LoadRefused(const char* path, std::uint64_t calls) {
  for (std::uint64_t i = 0; i < calls; ++i) {
    if (qx::io::LoadFile(path, /*read=*/false, /*append=*/true, 1)) std::exit(1);
  }
}

// The log's clock while an hour of refused calls is simulated: each call takes 1/rate seconds.
std::int64_t gSimulatedNanos = 0;
std::int64_t SimulatedMillis() noexcept { return gSimulatedNanos / 1'000'000; }

// How many bytes an hour of refused calls at `callsPerSecond` adds to the log at `logPath`.
double LogBytesPerHourOfRefusedCalls(const char* refused, const std::string& logPath, double callsPerSecond) {
  IDebugLog::OpenFile(logPath.c_str());
  IDebugLog::clockMillis = &SimulatedMillis;
  gSimulatedNanos = 0;
  const std::int64_t gapNanos = qx::LineBudget::kMillisPerLine * 1'000'000;
  const std::int64_t stepNanos = std::max<std::int64_t>(1, static_cast<std::int64_t>(1e9 / callsPerSecond));
  auto runUntil = [&](std::int64_t nanos) {
    for (; gSimulatedNanos < nanos; gSimulatedNanos += stepNanos) LoadRefused(refused, 1);
    return static_cast<double>(std::filesystem::file_size(logPath));
  };
  double before = runUntil(gapNanos / 2);    // the first lines
  double after = runUntil(3 * gapNanos / 2);  // ten seconds more: one count and one line
  IDebugLog::WriteLeftOutCounts();
  double end = static_cast<double>(std::filesystem::file_size(logPath)) - after;
  IDebugLog::clockMillis = &IDebugLog::SteadyClockMillis;
  double gapsLeft = (3600e9 - 3.0 * gapNanos / 2) / static_cast<double>(gapNanos);
  return after + gapsLeft * (after - before) + end;
}

constexpr int kRuns = 5;
constexpr double kBudget = 20.0;

// The fastest of kRuns runs of each, taken in turn; printed in seconds on the error stream.
template <typename A, typename B>
double WallRatio(const char* what, A&& a, B&& b) {
  qxbench::Fastest fastest = qxbench::FastestOfAlternating(kRuns, a, b, kBudget);
  std::fprintf(stderr, "fileio_bench: %s: %.3f s against %.3f s (fastest of %d)\n", what, fastest.a, fastest.b,
               fastest.runs);
  return fastest.Ratio();
}

}  // namespace

int main(int argc, char** argv) {
  IDebugLog::consoleLevel = 1;  // the script functions' log lines are not part of the run
  sim::MapGameRegion();
  sim::VmStrings::PlaceRoutines();
  sim::SealGameCode();
  qx::papyrus::KeepFilePathsInGameStrings();
  std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
  const int bufferSizes[] = {1, 4096, 2147483647};

  std::filesystem::path folder = std::filesystem::temp_directory_path() / "qxkit-fileio-bench";
  std::filesystem::create_directories(folder);
  (void)qx::io::AllowWritingIn({folder.string()}, folder.string());
  // As the plugin protects its own files and the game's, with the game in this folder.
  const std::string documents = (folder / "My Games" / "Skyrim").string();
  qx::io::ProtectFiles({folder.string(), documents,
                        {(folder / "Data/SKSE/Plugins/qxKit.ini").string(), (folder / "Data/SKSE/Plugins/QXKit.dll").string(),
                         documents + "/SKSE/QXKit.log", documents + "/SKSE/QXKit.log0", documents + "/SKSE/QXKit.log1",
                         documents + "/SKSE/QXKit.log2", documents + "/SKSE/QXKit.log3", documents + "/SKSE/QXKit.log4"}});
  std::string path = PathOfLength(folder, "bench.txt");
  std::string copy = PathOfLength(folder, "copy.txt");
  if (path.size() != kPathLength || copy.size() != kPathLength) {
    std::fprintf(stderr, "fileio_bench: the temporary folder's path is too long for %zu-character paths\n", kPathLength);
  }
  std::vector<std::string> sample = SampleLines();

  std::uint64_t target = megabytes * 1024 * 1024, written = 0, lineCount = 0;
  std::size_t longest = 0;
  while (written < target) {
    const std::string& line = sample[lineCount++ % sample.size()];
    written += line.size() + 1;
    longest = std::max(longest, line.size());
  }
  bool under = qxbench::UnderCallgrind();

  // Writing.
  qxbench::CountSegment("write.ofstream", lineCount, [&] { WritePlain(path, sample, lineCount); });
  qxbench::CountSegment("write.script", lineCount, [&] { WriteScript(copy, sample, lineCount, 10000); });
  bool same = BytesOf(path) == BytesOf(copy);
  if (!under) {
    qxbench::Report("write.wall", WallRatio("WriteLine + CloseFile vs std::ofstream",
                                            [&] { WriteScript(copy, sample, lineCount, 10000); },
                                            [&] { WritePlain(path, sample, lineCount); }));
  }

  // Opening and closing, with and without the judge of script paths.
  std::string small = PathOfLength(folder, "small.txt");
  std::ofstream(small) << "one\ntwo\n";
  const std::string smallBytes = BytesOf(small);
  // Both sides log the same lines; past the first of each kind the log leaves them out, as it
  // does in a script's loop. Both are measured that way, not one before and one after.
  OpenAndCloseJudged(small);
  qxbench::CountSegment("open.unjudged", kOpenings, [&] { OpenAndCloseUnjudged(small); });
  qxbench::CountSegment("open.judged", kOpenings, [&] { OpenAndCloseJudged(small); });
  if (!under) {
    qxbench::Report("open.wall", WallRatio("LoadFile + CloseFile, judged vs not", [&] { OpenAndCloseJudged(small); },
                                           [&] { OpenAndCloseUnjudged(small); }));
  }
  same = same && BytesOf(small) == smallBytes;

  // Reading.
  Tally plain;
  qxbench::CountSegment("read.getline", lineCount, [&] { plain = ReadPlain(path); });
  for (int size : bufferSizes) {
    std::string key = "read.script." + std::to_string(size);
    Tally script;
    qxbench::CountSegment(key.c_str(), lineCount, [&] { script = ReadScript(path, size); });
    same = same && script == plain && plain.lines == lineCount;
    if (!under) {
      qxbench::Report((key + ".wall").c_str(), WallRatio(key.c_str(), [&] { (void)ReadScript(path, size); },
                                                         [&] { (void)ReadPlain(path); }));
    }
  }

  // Two files in turn: this one and its copy.
  Tally plainInTurn;
  qxbench::CountSegment("read.getline.turns", 2 * lineCount, [&] { plainInTurn = ReadPlainInTurn(path, copy); });
  {
    Tally script;
    qxbench::CountSegment("read.script.turns", 2 * lineCount, [&] { script = ReadScriptInTurn(path, copy, 4096); });
    same = same && script == plainInTurn && plainInTurn.lines == 2 * lineCount;
    if (!under) {
      qxbench::Report("read.script.turns.wall",
                      WallRatio("two files in turn", [&] { (void)ReadScriptInTurn(path, copy, 4096); },
                                [&] { (void)ReadPlainInTurn(path, copy); }));
    }
  }

  // What a reader with the largest buffer holds: the peak of live heap bytes while it reads,
  // on this file, on 8 MB of empty lines, and on a file of one 20 MB line between two short.
  if (!under) {
    auto memory = [&](const std::string& file, const char* key, const char* longestKey, std::size_t longestLine) {
      Tally expected = ReadPlain(file);
      // The thread lets go of the files it remembers, so that no earlier file's memory is
      // freed inside the measured read and hides part of the reader's own.
      (void)qx::io::IsLoaded(ScriptString("no file"));
      (void)qx::io::IsLoaded(ScriptString("no file either"));
      std::int64_t before = sim::CurrentHeapCount().liveBytes;
      sim::ResetHeapPeak();
      Tally huge = ReadScript(file, 2147483647);
      same = same && huge == expected;
      qxbench::Report(key, static_cast<double>(sim::CurrentHeapCount().peakBytes - before) / (1024.0 * 1024.0));
      qxbench::Report(longestKey, static_cast<double>(longestLine) / (1024.0 * 1024.0));
    };
    memory(path, "read.memory.mb", "read.longest.mb", longest);
    std::string empty = (folder / "empty-lines.txt").string();
    std::ofstream(empty) << std::string(8 << 20, '\n');
    memory(empty, "read.memory.empty.mb", "read.longest.empty.mb", 0);
    std::string oneLine = (folder / "one-long-line.txt").string();
    std::ofstream(oneLine) << "first\n" << std::string(20 << 20, 'x') << "\nlast\n";
    memory(oneLine, "read.memory.longline.mb", "read.longest.longline.mb", 20 << 20);

    // What many small files open for reading hold: as many as scripts may hold, of 100 bytes
    // each, a line taken from each; the heap held per file while all are open.
    constexpr std::size_t kSmallFiles = qx::io::kMaxOpenFiles;
    std::vector<const char*> smallFiles;
    for (std::size_t i = 0; i < kSmallFiles; ++i) {
      std::string file = (folder / ("small-" + std::to_string(i) + ".txt")).string();
      std::ofstream(file) << std::string(45, 'a') << '\n' << std::string(53, 'b') << '\n';
      smallFiles.push_back(ScriptString(file));
    }
    std::int64_t before = sim::CurrentHeapCount().liveBytes;
    Tally taken;
    for (const char* file : smallFiles) {
      if (qx::io::LoadFile(file, /*read=*/true, false, 64) && qx::io::HasNextLine(file)) {
        qx::io::NextLine(file, &AddLine, &taken);
      }
    }
    same = same && taken.lines == kSmallFiles && taken.bytes == 45u * kSmallFiles;
    qxbench::Report("read.small.kb.per.file",
                    static_cast<double>(sim::CurrentHeapCount().liveBytes - before) / kSmallFiles / 1024.0);
    for (const char* file : smallFiles) (void)qx::io::CloseFile(file);
  }
  // Refused calls in a loop, with the log open: first those whose lines the log writes, then
  // those it leaves out.
  {
    const std::string logPath = (std::filesystem::temp_directory_path() / "qxkit-bench.log").string();
    const char* refused = ScriptString((folder.parent_path() / "qxkit-refused.txt").string());
    constexpr std::uint64_t kLeftOut = 20000;
    IDebugLog::OpenFile(logPath.c_str());
    qxbench::CountSegment("refused.written", qx::LineBudget::kLinesAtOnce,
                          [&] { LoadRefused(refused, qx::LineBudget::kLinesAtOnce); });
    qxbench::CountSegment("refused.leftout", kLeftOut, [&] { LoadRefused(refused, kLeftOut); });
    if (!under) {
      double fastest = 1e30;
      for (int run = 0; run < kRuns; ++run) {
        qxbench::Clock::time_point start = qxbench::Clock::now();
        LoadRefused(refused, kLeftOut);
        fastest = std::min(fastest, qxbench::SecondsSince(start));
      }
      double rate = kLeftOut / fastest;
      qxbench::Report("refused.calls.per.second", rate);
      qxbench::Report("refused.log.kb.per.hour", LogBytesPerHourOfRefusedCalls(refused, logPath, rate) / 1024.0);
    }
  }

  std::filesystem::remove_all(folder);
  std::printf("same lines read and written: %s\n", same ? "yes" : "NO");
  return same ? 0 : 1;
}
