#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/IDebugLog.h"
#include "common/LineBudget.h"

namespace {

std::string Translate(const char* format) {
  char out[256];
  EXPECT_TRUE(TranslateLogFormat(format, out, sizeof(out)));
  return out;
}

TEST(DebugLogFormat, WindowsFormsBecomeStandardOnes) {
  EXPECT_EQ(Translate("at %p"), "at %.8X");
  EXPECT_EQ(Translate("%16I64X (%I64d)"), "%16llX (%lld)");
  EXPECT_EQ(Translate("%I32d"), "%d");
  EXPECT_EQ(Translate("100%% %p %s"), "100%% %.8X %s");
  EXPECT_EQ(Translate("%%p"), "%%p");
  EXPECT_EQ(Translate("%08X %.4f %-5d"), "%08X %.4f %-5d");

  char tiny[4];
  EXPECT_FALSE(TranslateLogFormat("longer than four", tiny, sizeof(tiny)));
}

// A format that ends inside a directive is copied as it is, and the scan stops at its end:
// each format lives in an array of exactly its size, so reading on is caught.
TEST(DebugLogFormat, AFormatEndingInADirectiveStopsAtItsEnd) {
  for (std::string format : {"100%", "%", "at %-0", "%.*", "%p%"}) {
    std::vector<char> exact(format.begin(), format.end());
    exact.push_back('\0');
    EXPECT_EQ(Translate(exact.data()), format == "%p%" ? "%.8X%" : format);
  }
}

TEST(DebugLogFormat, PointersPrintAsTheGamesRuntimeDoes) {
  char out[64];
  ASSERT_TRUE(TranslateLogFormat("%p", out, sizeof(out)));
  char text[64];
  std::snprintf(text, sizeof(text), out, reinterpret_cast<void*>(0x00ABCDEF));
  EXPECT_STREQ(text, "00ABCDEF");
}

// Each step takes `lines` lines of `kind` at `at` ms; `written` of them are written, the first
// carrying the count `reported` of those left out before it.
TEST(LineBudget, TheFirstLinesOfAKindAreWrittenThenOneEveryTenSeconds) {
  static const char kRefused[] = "refused %s", kOther[] = "other %d";
  struct Step {
    const char* kind;
    std::int64_t at;
    std::uint32_t lines, written;
    std::uint64_t reported;
  };
  constexpr std::uint32_t kAtOnce = qx::LineBudget::kLinesAtOnce;
  constexpr std::int64_t kGap = qx::LineBudget::kMillisPerLine;
  const Step steps[] = {
      {kRefused, 5000, kAtOnce, kAtOnce, 0},   // as many as at once: all written
      {kRefused, 5000, 7, 0, 0},               // then counted
      {kOther, 5000, 3, 3, 0},                 // another kind has its own budget
      {kRefused, 5000 + kGap - 1, 2, 0, 0},    // not yet ten seconds since the budget ran out
      {kRefused, 5000 + kGap, 4, 1, 9},        // one more, after the count of the nine left out
      {kRefused, 5000 + 4 * kGap + 10, 5, 3, 3},  // three gaps went by: three lines
      {kRefused, 0, 2, 0, 0},                  // a clock that ran back adds nothing
      {kRefused, 5000 + 5 * kGap, 1, 1, 4},
  };
  qx::LineBudget budget;
  for (const Step& step : steps) {
    std::uint32_t written = 0;
    std::uint64_t reported = 0;
    for (std::uint32_t i = 0; i < step.lines; ++i) {
      qx::LineBudget::Verdict verdict = budget.Take(step.kind, step.at);
      if (verdict.leftOut != 0) EXPECT_TRUE(verdict.write && reported == 0 && written == 0);
      written += verdict.write;
      reported += verdict.leftOut;
    }
    EXPECT_EQ(written, step.written) << step.kind << " at " << step.at;
    EXPECT_EQ(reported, step.reported) << step.kind << " at " << step.at;
  }
  (void)budget.Take(kRefused, 0);  // left out, and counted once below
  std::vector<std::pair<const char*, std::uint64_t>> counts;
  budget.TakeLeftOut([&](const char* kind, std::uint64_t leftOut) { counts.emplace_back(kind, leftOut); });
  budget.TakeLeftOut([&](const char* kind, std::uint64_t leftOut) { counts.emplace_back(kind, leftOut); });
  EXPECT_EQ(counts, (std::vector<std::pair<const char*, std::uint64_t>>{{kRefused, 1}}));

  // Kinds beyond the table's are written as ever.
  static char formats[qx::LineBudget::kKinds + 1][1];
  for (auto& format : formats) (void)budget.Take(format, 0);
  for (std::uint32_t i = 0; i <= kAtOnce; ++i) ASSERT_TRUE(budget.Take(formats[qx::LineBudget::kKinds], 0).write);
}

class DebugLogFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() / ("qxlog-" + std::to_string(::getpid()));
    IDebugLog::OpenFile(path_.c_str());
    IDebugLog::consoleLevel = 1;
    IDebugLog::fileLevel = 5;
    IDebugLog::clockMillis = [] () noexcept { return now_; };
  }
  void TearDown() override {
    IDebugLog::clockMillis = &IDebugLog::SteadyClockMillis;
    std::filesystem::remove(path_);
  }

  std::vector<std::string> Lines() {
    std::ifstream in(path_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path path_;
  static inline std::int64_t now_ = 0;  // the log's clock, in ms
};

TEST_F(DebugLogFile, LevelsChooseFileAndConsole) {
  testing::internal::CaptureStdout();
  LogMessage("to the file only");
  LogFatal("to both");
  IDebugLog::Log(6, "to neither");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "to both\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"to the file only", "to both"}));
}

// The file holds at most fileLimitBytes: a last line says so, and later lines reach the
// console only; a file opened anew starts over.
TEST_F(DebugLogFile, TheFileStopsAtItsLimitWithALineThatSaysSo) {
  const std::size_t limit = IDebugLog::fileLimitBytes;
  IDebugLog::fileLimitBytes = 200;
  for (int i = 0; i < 20; ++i) LogMessage("line %02d of a loop", i);
  testing::internal::CaptureStdout();
  LogFatal("still on the console");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "still on the console\n");
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "QX: the log stops here: it holds 200 bytes at most");
  EXPECT_EQ(lines.front(), "line 00 of a loop");
  EXPECT_LE(std::filesystem::file_size(path_), 200u);
  IDebugLog::OpenFile(path_.c_str());
  LogMessage("anew");
  EXPECT_EQ(Lines(), std::vector<std::string>{"anew"});
  IDebugLog::fileLimitBytes = limit;
}

// A kind's left-out lines are counted in a line before its next written one; built lines, as
// many as the player's files ask for, are all written.
TEST_F(DebugLogFile, RepeatsOfAKindAreCountedAndBuiltLinesAllWritten) {
  constexpr std::uint32_t kAtOnce = qx::LineBudget::kLinesAtOnce;
  for (std::uint32_t i = 0; i < kAtOnce + 2; ++i) LogMessage("QX IO Util: refused to write '%u'", i);
  for (std::uint32_t i = 0; i < kAtOnce + 2; ++i) (LogLine() << ">>> book " << static_cast<std::int32_t>(i)).Write();
  now_ += qx::LineBudget::kMillisPerLine;
  LogMessage("QX IO Util: refused to write '%u'", 12345u);
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 2 * kAtOnce + 4);
  EXPECT_EQ(lines[kAtOnce - 1], "QX IO Util: refused to write '999'");
  EXPECT_EQ(lines[kAtOnce], ">>> book 0");
  EXPECT_EQ(lines[2 * kAtOnce + 1], ">>> book 1001");
  EXPECT_EQ(lines[2 * kAtOnce + 2],
            "QX: left out 2 more lines like \"QX IO Util: refused to write '%u'\"; the log writes the first 1000 lines "
            "of a kind, then one every 10 seconds");
  EXPECT_EQ(lines.back(), "QX IO Util: refused to write '12345'");
}

TEST_F(DebugLogFile, ArgumentsAreNotReinterpreted) {
  LogMessage("%s", "100% done\twith a tab");
  LogMessage("%d%%", 5);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"100% done\twith a tab", "5%"}));
}

TEST_F(DebugLogFile, LongMessagesAreCutToTheBuffer) {
  std::string huge(20000, 'x');
  LogMessage("%s", huge.c_str());
  LogMessage("next");
  (LogLine() << huge << 7).Write();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(IDebugLog::kBufferSize - 1, 'x'));
  EXPECT_EQ(lines[1], "next");
  EXPECT_EQ(lines[2], lines[0]);
}

TEST_F(DebugLogFile, BuiltLinesAreCutWhereTheFormattedOnesAre) {
  for (std::size_t before : {IDebugLog::kBufferSize - 4, IDebugLog::kBufferSize - 1}) {
    std::string start(before, 'y');
    LogMessage("%s%d", start.c_str(), -12345);
    (LogLine() << start << -12345).Write();
    LogMessage("%s' with", start.c_str());
    (LogLine() << start << "' with").Write();
  }
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 8u);
  for (std::size_t i = 0; i < lines.size(); i += 2) EXPECT_EQ(lines[i + 1], lines[i]) << i;
  EXPECT_EQ(lines[0].substr(IDebugLog::kBufferSize - 4), "-12");
}

TEST_F(DebugLogFile, BuiltLinesAreTheFormattedOnes) {
  for (std::int32_t number : {0, 7, -1, 2147483647, -2147483647 - 1}) {
    LogMessage("keyword '%s' with priority %d", "0001F4_Mod.esp", number);
    (LogLine() << "keyword '" << "0001F4_Mod.esp" << "' with priority " << number).Write();
  }
  constexpr std::string_view kZeroInside("0001F4_Mod.esp\0rest", 19);  // "%s" stops at the zero
  LogMessage("keyword '%s'", kZeroInside.data());
  (LogLine() << "keyword '" << kZeroInside << "'").Write();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 12u);
  for (std::size_t i = 0; i < lines.size(); i += 2) EXPECT_EQ(lines[i + 1], lines[i]);
  EXPECT_EQ(lines[9], "keyword '0001F4_Mod.esp' with priority -2147483648");
}

// Threads logging one kind of line at once: every line whole, each thread's in its order, and
// the first lines of the kind written, the rest counted.
TEST_F(DebugLogFile, ConcurrentCallersKeepEveryLineWholeAndTheCountExact) {
  constexpr int kThreads = 8, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) LogMessage("thread %d line %d %s", t, i, "payload");
    });
  }
  for (auto& thread : threads) thread.join();
  IDebugLog::WriteLeftOutCounts();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), qx::LineBudget::kLinesAtOnce + 1);
  EXPECT_EQ(lines.back().rfind("QX: left out " + std::to_string(kThreads * kLines - qx::LineBudget::kLinesAtOnce) +
                                   " more lines like \"thread %d line %d %s\"; the log writes the first 1000 lines of "
                                   "a kind, then one every 10 seconds",
                               0),
            0u)
      << lines.back();
  lines.pop_back();
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : lines) {
    int t = -1, i = -1;
    char payload[16] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d %15s", &t, &i, payload), 3) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_GE(i, next[t]) << "lines of one thread keep their order";
    next[t] = i + 1;
    EXPECT_STREQ(payload, "payload");
  }
}

TEST(DebugLogAssert, ReportsAndEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(IDebugLog::AssertFailed("file.cpp", 12, "x != 0"), testing::ExitedWithCode(3), "");
  EXPECT_EXIT(IDebugLog::AssertFailedWithCode("file.cpp", 12, "ok", -5), testing::ExitedWithCode(3),
              "");
}

TEST(DebugLogAssert, CodeFormsFollowTheUpperHalf) {
  IDebugLog::consoleLevel = 0;
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The report goes to standard output; run it in a child and read what it printed there.
  auto run = [](std::int64_t code) {
    testing::internal::CaptureStdout();
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          dup2(2, 1);  // let the death test's matcher see the console line
          IDebugLog::AssertFailedWithCode("f.cpp", 7, "SUCCEEDED(err)", code);
        },
        testing::ExitedWithCode(3),
        code == 5 ? "Assertion failed in f.cpp \\(7\\): SUCCEEDED\\(err\\) \\(code = 00000005 \\(5\\)\\)"
                  : "\\(code = FFFFFFFF80004005 \\(-2147467259\\)\\)");
    testing::internal::GetCapturedStdout();
  };
  run(5);
  run(static_cast<std::int32_t>(0x80004005));
}

}  // namespace
