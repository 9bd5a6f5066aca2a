// fileio_bench: reading a text file through the script functions' line buffer against a plain
// std::getline loop over the same file, in one run.
//
//   fileio_bench [megabytes=50] [buffer sizes...=1 100 10000]
//
// Writes a file of short and long lines in a fresh temporary folder, reads it once with
// std::getline and once per buffer size with HasNextLine/NextLine, checks that both saw the
// same lines, and prints the throughput of each. Also times writing the same lines with
// WriteLine against an std::ofstream and checks that both wrote the same bytes.
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
#include "papyrus/QXIOUtilCore.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Tally {
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  std::uint64_t sum = 0;  // keeps the reads from being optimised away and compares them
  void Add(std::string_view line) {
    ++lines;
    bytes += line.size();
    for (unsigned char c : line) sum = sum * 31 + c;
  }
  bool operator==(const Tally&) const = default;
};

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

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

}  // namespace

int main(int argc, char** argv) {
  IDebugLog::consoleLevel = 1;  // the script functions' log lines are not part of the run
  std::size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 50;
  std::vector<int> bufferSizes;
  for (int i = 2; i < argc; ++i) bufferSizes.push_back(std::atoi(argv[i]));
  if (bufferSizes.empty()) bufferSizes = {1, 100, 10000};

  std::filesystem::path folder = std::filesystem::temp_directory_path() / "qxkit-fileio-bench";
  std::filesystem::create_directories(folder);
  std::string path = (folder / "bench.txt").string();
  std::string copy = (folder / "copy.txt").string();
  std::vector<std::string> sample = SampleLines();

  // Writing: a plain ofstream, then WriteLine with the largest buffer size.
  Clock::time_point start = Clock::now();
  std::uint64_t target = megabytes * 1024 * 1024, written = 0, lineCount = 0;
  {
    std::ofstream out(path);
    while (written < target) {
      const std::string& line = sample[lineCount++ % sample.size()];
      out << line << '\n';
      written += line.size() + 1;
    }
  }
  double plainWrite = Seconds(start);
  double mb = static_cast<double>(written) / (1024.0 * 1024.0);
  start = Clock::now();
  if (!qx::io::LoadFile(copy.c_str(), false, false, bufferSizes.back())) return 1;
  for (std::uint64_t i = 0; i < lineCount; ++i) {
    (void)qx::io::WriteLine(copy.c_str(), sample[i % sample.size()].c_str());
  }
  (void)qx::io::CloseFile(copy.c_str());
  double scriptWrite = Seconds(start);
  std::printf("file: %.1f MB, %llu lines\n", mb, static_cast<unsigned long long>(lineCount));
  std::printf("write  std::ofstream                 %7.3f s  %7.1f MB/s\n", plainWrite,
              mb / plainWrite);
  std::printf("write  WriteLine, buffer %-10d  %7.3f s  %7.1f MB/s\n", bufferSizes.back(),
              scriptWrite, mb / scriptWrite);

  // Reading.
  Tally plain;
  start = Clock::now();
  {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) plain.Add(line);
  }
  double plainRead = Seconds(start);
  std::printf("read   std::getline                  %7.3f s  %7.1f MB/s\n", plainRead,
              mb / plainRead);

  bool same = true;
  for (int size : bufferSizes) {
    Tally script;
    start = Clock::now();
    if (!qx::io::LoadFile(path.c_str(), true, false, size)) return 1;
    // In place, as the script binding takes each line.
    auto add = [](std::string_view line, void* tally) { static_cast<Tally*>(tally)->Add(line); };
    while (qx::io::HasNextLine(path.c_str())) qx::io::NextLine(path.c_str(), add, &script);
    (void)qx::io::CloseFile(path.c_str());
    double seconds = Seconds(start);
    std::printf("read   NextLine, buffer %-10d   %7.3f s  %7.1f MB/s  (%.2fx getline)\n", size,
                seconds, mb / seconds, seconds / plainRead);
    same = same && script == plain;
  }
  // Both writers produced the same bytes (line ends as the platform's text mode writes them).
  auto bytesOf = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  same = same && bytesOf(path) == bytesOf(copy);
  std::filesystem::remove_all(folder);
  std::printf("same lines read and written: %s\n", same ? "yes" : "NO");
  return same ? 0 : 1;
}
