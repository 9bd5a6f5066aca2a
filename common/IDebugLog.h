#pragma once
// The plugin's one diagnostic channel: QXKit.log in the user's documents folder, echoed to
// standard output by level. Every line is exactly the formatted message.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

class IDebugLog {
 public:
  static constexpr int kLevel_Fatal = 0;
  static constexpr int kLevel_Message = 3;
  static constexpr std::size_t kBufferSize = 8192;  // longer messages are cut to 8191 characters

  // Messages with a level at or below these reach the file / standard output.
  static inline int fileLevel = 5;
  static inline int consoleLevel = 3;
  // The most bytes the file holds: a last line says so, and later lines reach the console
  // only, so that nothing logging in a loop can fill the player's disk.
  static inline std::size_t fileLimitBytes = 16 * 1024 * 1024;
  // The clock that spaces the repeats of a kind of line (common/LineBudget.h), in
  // milliseconds; a test sets its own.
  static std::int64_t SteadyClockMillis() noexcept;
  static inline std::int64_t (*clockMillis)() noexcept = &SteadyClockMillis;

  // Opens `relativePath` under a shell folder; when the folder cannot be resolved, says so on
  // the console and leaves the log without a file.
  static void OpenInFolder(std::int32_t folderId, const char* relativePath);
  // Opens `path`, or else the first of path0..path4 that can be opened.
  static void OpenFile(const char* path);

  // `format` is a string literal: it names the line's kind (common/LineBudget.h) for as long as
  // the process runs.
  static void Log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
  static void LogV(int level, const char* format, std::va_list args);
  // Writes a line the caller has built (LogLine below), as Log writes a formatted one, however
  // many of its kind came before: such lines are as many as the player's own files ask for.
  static void LogText(int level, const char* text, std::size_t length);
  // Writes how many lines of each kind were left out since the last of that kind was written;
  // run as the process ends.
  static void WriteLeftOutCounts() noexcept;
  // From now on a line is dropped rather than waited for while another thread writes one: the
  // process is ending, and that thread may be gone for good, holding the log.
  static void StopWaiting() noexcept;

  [[noreturn]] static void AssertFailed(const char* file, int line, const char* text);
  [[noreturn]] static void AssertFailedWithCode(const char* file, int line, const char* text,
                                                std::int64_t code);
};

void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogFatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A message line built piece by piece on the stack, for lines logged by the thousand as the
// player's files and settings ask (one per priority override at start-up, one per skill book
// listed), all of which are written: the bytes LogMessage would write for the same pieces
// ("%s" for a text, up to a zero character; "%d" for a number), cut at the same length,
// without formatting them.
// Not for code a trampoline runs: unlike LogMessage it does not keep the SSE registers.
class LogLine {
 public:
  LogLine() noexcept {}  // user-provided: `LogLine()` then leaves the 8 KB unzeroed
  LogLine& operator<<(std::string_view text) noexcept;
  // A literal piece of the line: its length is known, and it holds no zero character.
  template <std::size_t N>
  LogLine& operator<<(const char (&literal)[N]) noexcept {
    return Append(literal, N - 1);
  }
  LogLine& operator<<(std::int32_t number) noexcept;
  // Writes the line at message level.
  void Write() noexcept { IDebugLog::LogText(IDebugLog::kLevel_Message, text_, length_); }

 private:
  // Inline, so that a literal's copy has a known length: a few moves, no call.
  LogLine& Append(const char* text, std::size_t length) noexcept {
    if (length > kLongest - length_) return AppendCut(text);
    std::memcpy(text_ + length_, text, length);
    length_ += length;
    return *this;
  }
  // Fills the line with the start of a piece that does not fit.
  LogLine& AppendCut(const char* text) noexcept;

  static constexpr std::size_t kLongest = IDebugLog::kBufferSize - 1;  // as vsnprintf leaves it
  char text_[IDebugLog::kBufferSize];
  std::size_t length_ = 0;
};

// Rewrites the Microsoft-only printf forms of a format into standard ones, so a line reads
// the same in both builds: %p as eight upper-case hex digits, %I64 as ll, %I32 as nothing.
// Returns false (and leaves `out` unspecified) when `out` is too small.
bool TranslateLogFormat(const char* format, char* out, std::size_t outSize);

#define QX_ASSERT(expr) \
  ((expr) ? (void)0 : IDebugLog::AssertFailed(__FILE__, __LINE__, #expr))
#define QX_ASSERT_CODE(expr, code) \
  ((expr) ? (void)0 : IDebugLog::AssertFailedWithCode(__FILE__, __LINE__, #expr, (code)))
