#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "papyrus/files/QXIOUtilCore.h"
#include "tests/unit/FileTestSupport.h"

namespace {

namespace io = qx::io;

constexpr int kThreads = 4;
constexpr int kLinesPerThread = 400;

// "<thread>:<number>:" followed by a padding whose length varies, so a torn line shows.
std::string LineOf(int thread, int number) {
  return std::to_string(thread) + ":" + std::to_string(number) + ":" +
         std::string(static_cast<std::size_t>(number % 37), 'a' + thread);
}

using TextFileThreads = qxtest::FileTest;

TEST_F(TextFileThreads, WritersSharingOneFileKeepEveryLineWhole) {
  std::string path = In("shared.txt");
  ASSERT_TRUE(io::LoadFile(path.c_str(), false, false, 3));
  std::vector<std::thread> writers;
  std::atomic<int> refused{0};
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([&, t] {
      for (int n = 0; n < kLinesPerThread; ++n) {
        if (!io::WriteLine(path.c_str(), LineOf(t, n).c_str())) ++refused;
      }
    });
  }
  for (std::thread& w : writers) w.join();
  ASSERT_TRUE(io::CloseFile(path.c_str()));
  EXPECT_EQ(refused.load(), 0);

  // Every line once, whole, and each thread's lines in the order it wrote them.
  std::istringstream in(qxtest::ReadBytes(path));
  std::vector<int> nextOf(kThreads, 0);
  int count = 0;
  for (std::string line; std::getline(in, line); ++count) {
    int thread = line[0] - '0';
    ASSERT_TRUE(thread >= 0 && thread < kThreads) << line;
    EXPECT_EQ(line, LineOf(thread, nextOf[thread]));
    ++nextOf[thread];
  }
  EXPECT_EQ(count, kThreads * kLinesPerThread);
}

TEST_F(TextFileThreads, ReadersSharingOneFileGetEveryLineOnce) {
  std::string path = In("source.txt");
  std::string bytes;
  for (int n = 0; n < kThreads * kLinesPerThread; ++n) bytes += LineOf(n % kThreads, n) + "\n";
  qxtest::WriteBytes(path, bytes);
  ASSERT_TRUE(io::LoadFile(path.c_str(), true, false, 5));

  std::vector<std::vector<std::string>> taken(kThreads);
  std::vector<std::thread> readers;
  for (int t = 0; t < kThreads; ++t) {
    readers.emplace_back([&, t] {
      std::string line;
      for (;;) {
        io::NextLine(path.c_str(), line);
        if (line == "\x07") break;
        taken[static_cast<std::size_t>(t)].push_back(line);
      }
    });
  }
  for (std::thread& r : readers) r.join();
  ASSERT_TRUE(io::CloseFile(path.c_str()));

  std::map<std::string, int> seen;
  for (const auto& lines : taken) {
    for (const std::string& line : lines) ++seen[line];
  }
  ASSERT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLinesPerThread));
  for (int n = 0; n < kThreads * kLinesPerThread; ++n) {
    EXPECT_EQ(seen[LineOf(n % kThreads, n)], 1);
  }
}

TEST_F(TextFileThreads, OpeningClosingAndUsingFilesAtOnce) {
  std::string shared = In("busy.txt");
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::string own = In("own" + std::to_string(t) + ".txt");
      std::string line;
      for (int round = 0; round < 40; ++round) {
        // Everyone opens, writes to and closes the shared path while others do the same.
        (void)io::LoadFile(shared.c_str(), false, true, 2);
        (void)io::WriteLine(shared.c_str(), LineOf(t, round).c_str());
        (void)io::IsGood(shared.c_str());
        (void)io::HasNextLine(shared.c_str());
        io::NextLine(shared.c_str(), line);
        (void)io::CloseFile(shared.c_str());

        // The thread's own file must come through untouched.
        bool ok = io::LoadFile(own.c_str(), false, false, 1) &&
                  io::WriteLine(own.c_str(), LineOf(t, round).c_str()) &&
                  io::CloseFile(own.c_str()) && io::LoadFile(own.c_str(), true, false, 4);
        io::NextLine(own.c_str(), line);
        ok = ok && line == LineOf(t, round) && !io::HasNextLine(own.c_str()) &&
             io::DeleteAnyFile(own.c_str());
        if (!ok) ++failures;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_FALSE(io::IsLoaded(shared.c_str()));

  // Whatever the interleaving, each line that reached the shared file is whole.
  std::istringstream in(qxtest::ReadBytes(shared));
  int count = 0;
  for (std::string line; std::getline(in, line); ++count) {
    int thread = line[0] - '0';
    int round = std::stoi(line.substr(2));
    EXPECT_EQ(line, LineOf(thread, round));
  }
  EXPECT_LE(count, kThreads * 40);
  EXPECT_GT(count, 0);
}

}  // namespace
