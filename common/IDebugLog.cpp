#include "common/IDebugLog.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "common/KeepSseRegisters.h"
#include "common/LineBudget.h"
#include "platform/Files.h"
#include "platform/Platform.h"

namespace {

// One format buffer and one file, shared by every thread: the lock covers both. Detached
// threads may still log while the process ends, so the lock is never destroyed; it lives in
// static storage, so that a line logged when memory has run out still finds it.
std::mutex& LogLock() {
  alignas(std::mutex) static unsigned char storage[sizeof(std::mutex)];
  static auto* lock = new (storage) std::mutex;
  return *lock;
}
char gFormatBuffer[IDebugLog::kBufferSize];
std::FILE* gLogFile = nullptr;
std::size_t gFileBytes = 0;  // written to the file, line ends as text mode writes them
bool gFileFull = false;      // the file's last line is written
std::atomic<bool> gEnding{false};
constinit qx::LineBudget gBudget;  // of each kind of formatted line

// The log lock, or (once the process is ending and another thread holds it) none.
std::unique_lock<std::mutex> TakeLogLock() {
  if (!gEnding.load(std::memory_order_relaxed)) return std::unique_lock<std::mutex>(LogLock());
  return std::unique_lock<std::mutex>(LogLock(), std::try_to_lock);
}

// Text, then a line feed, each written and flushed, as the log has always written a line;
// the console gets the same. The log lock is held.
void WriteLocked(const char* text, std::size_t length, bool toFile, bool toConsole) {
  if (toFile && gLogFile != nullptr && !gFileFull) {
    // Room is kept for the line that says the file is full; it is formatted only then.
    constexpr std::size_t kLineEnd = qx::platform::kLineEnd.size();  // the file is in text mode
    char last[128];
    std::size_t room = IDebugLog::fileLimitBytes - std::min(IDebugLog::fileLimitBytes, sizeof last + kLineEnd);
    const char* line = text;
    std::size_t lineLength = length;
    if (gFileBytes + length + kLineEnd > room) {
      gFileFull = true;
      int lastLength = std::snprintf(last, sizeof last, "QX: the log stops here: it holds %zu bytes at most",
                                     IDebugLog::fileLimitBytes);
      line = last;
      lineLength = lastLength > 0 ? std::min(static_cast<std::size_t>(lastLength), sizeof last - 1) : 0;
    }
    std::fwrite(line, 1, lineLength, gLogFile);
    std::fflush(gLogFile);
    std::fputc('\n', gLogFile);
    std::fflush(gLogFile);
    gFileBytes += lineLength + kLineEnd;
  }
  if (toConsole) {
    std::fwrite(text, 1, length, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

// The line that says how many lines of `kind` were left out, shown by its format up to the first
// line break. The log lock is held.
void WriteLeftOutLocked(const char* kind, std::uint64_t leftOut, bool toFile, bool toConsole) {
  std::size_t shown = 0;
  while (shown < 160 && kind[shown] != '\0' && kind[shown] != '\n' && kind[shown] != '\r') ++shown;
  char line[320];
  int length = std::snprintf(line, sizeof line,
                             "QX: left out %llu more lines like \"%.*s\"; the log writes the first %u lines of "
                             "a kind, then one every %lld seconds",
                             static_cast<unsigned long long>(leftOut), static_cast<int>(shown), kind,
                             static_cast<unsigned>(qx::LineBudget::kLinesAtOnce),
                             static_cast<long long>(qx::LineBudget::kMillisPerLine / 1000));
  if (length > 0) WriteLocked(line, std::min(static_cast<std::size_t>(length), sizeof line - 1), toFile, toConsole);
}

// Writes the process's last counts as its static objects are destroyed: as Linux programs
// exit, and as QXKit.dll detaches from an ending game.
struct LeftOutCountsAtTheEnd {
  ~LeftOutCountsAtTheEnd() {
    IDebugLog::StopWaiting();
    IDebugLog::WriteLeftOutCounts();
  }
} gLeftOutCountsAtTheEnd;

// strchr would also find the terminator: a format ending inside a directive stops there.
bool IsFlagOrWidth(char c) {
  return c != '\0' && std::strchr("-+ #0123456789.*", c) != nullptr;
}

// Whether the format holds a directive that TranslateLogFormat rewrites (%p, %I64, %I32);
// most formats hold none and are used as they are.
bool NeedsTranslation(const char* format) {
  for (const char* p = format; (p = std::strchr(p, '%')) != nullptr; ++p) {
    if (p[1] == '%') {
      ++p;
      continue;
    }
    ++p;
    while (IsFlagOrWidth(*p)) ++p;
    if (*p == 'p' || *p == 'I') return true;
    if (*p == '\0') break;
  }
  return false;
}

}  // namespace

bool TranslateLogFormat(const char* format, char* out, std::size_t outSize) {
  std::size_t n = 0;
  auto put = [&](const char* text, std::size_t len) {
    if (n + len >= outSize) return false;
    std::memcpy(out + n, text, len);
    n += len;
    return true;
  };
  for (const char* p = format; *p != '\0';) {
    if (*p != '%') {
      const char* run = p;  // copied as one piece up to the next '%'
      while (*p != '\0' && *p != '%') ++p;
      if (!put(run, static_cast<std::size_t>(p - run))) return false;
      continue;
    }
    if (p[1] == '%') {
      if (!put(p, 2)) return false;
      p += 2;
      continue;
    }
    const char* start = p++;
    while (IsFlagOrWidth(*p)) ++p;
    if (!put(start, static_cast<std::size_t>(p - start))) return false;
    if (*p == 'p') {  // 32-bit pointer as the Microsoft runtime prints it
      if (!put(".8X", 3)) return false;
      ++p;
    } else if (std::strncmp(p, "I64", 3) == 0) {
      if (!put("ll", 2)) return false;
      p += 3;
    } else if (std::strncmp(p, "I32", 3) == 0) {
      p += 3;
    }
  }
  out[n] = '\0';
  return true;
}

void IDebugLog::OpenInFolder(std::int32_t folderId, const char* relativePath) {
  char path[qx::platform::kMaxPath];
  std::int32_t result = qx::platform::GetShellFolderPath(folderId, path);
  if (result < 0) {
    LogFatal("SHGetFolderPath %08X failed (result = %08X lasterr = %08X)",
             static_cast<std::uint32_t>(folderId), static_cast<std::uint32_t>(result),
             qx::platform::LastError());
    // A player's broken profile is no reason to end the game: the plugin runs without its
    // log file, as it does when the file cannot be created.
    LogFatal("QX: no documents folder; the log goes to the console only");
    return;
  }
  // The whole path, however long: a path cut to a buffer would name another file.
  std::string file = std::string(path) + relativePath;

  // Create every folder on the way; the last component is the file itself.
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\\' || file[i] == '/') {
      qx::platform::CreateDirectoryIgnoringErrors(file.substr(0, i).c_str());
    }
  }
  OpenFile(file.c_str());
}

void IDebugLog::OpenFile(const char* path) {
  std::lock_guard<std::mutex> lock(LogLock());
  gFileBytes = 0;
  gFileFull = false;
  gBudget.Reset();
  gLogFile = qx::platform::OpenSharedReadLogFile(path);
  for (int i = 0; gLogFile == nullptr && i < 5; ++i) {
    gLogFile = qx::platform::OpenSharedReadLogFile((path + std::to_string(i)).c_str());
  }
}

void IDebugLog::LogV(int level, const char* format, std::va_list args) {
  bool toFile = level <= fileLevel;
  bool toConsole = level <= consoleLevel;
  if (!toFile && !toConsole) return;

  std::unique_lock<std::mutex> lock = TakeLogLock();
  if (!lock) return;
  qx::LineBudget::Verdict verdict = gBudget.Take(format, IDebugLog::clockMillis());
  if (verdict.leftOut != 0) WriteLeftOutLocked(format, verdict.leftOut, toFile, toConsole);
  if (!verdict.write) return;

  char translated[1024];
  const char* effective = NeedsTranslation(format) && TranslateLogFormat(format, translated, sizeof(translated))
                              ? translated
                              : format;
  // No line's format writes a zero character (no "%c"), so the length printed is the text's.
  int length = std::vsnprintf(gFormatBuffer, sizeof(gFormatBuffer), effective, args);
  std::size_t written = length < 0 ? std::strlen(gFormatBuffer) : std::min(static_cast<std::size_t>(length), sizeof(gFormatBuffer) - 1);
  WriteLocked(gFormatBuffer, written, toFile, toConsole);
}

void IDebugLog::LogText(int level, const char* text, std::size_t length) {
  bool toFile = level <= fileLevel;
  bool toConsole = level <= consoleLevel;
  if (!toFile && !toConsole) return;
  std::unique_lock<std::mutex> lock = TakeLogLock();
  if (lock) WriteLocked(text, length, toFile, toConsole);
}

void IDebugLog::StopWaiting() noexcept { gEnding.store(true, std::memory_order_relaxed); }

void IDebugLog::WriteLeftOutCounts() noexcept {
  std::unique_lock<std::mutex> lock = TakeLogLock();
  if (!lock) return;
  gBudget.TakeLeftOut([](const char* kind, std::uint64_t leftOut) {
    WriteLeftOutLocked(kind, leftOut, kLevel_Message <= fileLevel, kLevel_Message <= consoleLevel);
  });
}

std::int64_t IDebugLog::SteadyClockMillis() noexcept {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

LogLine& LogLine::operator<<(std::string_view text) noexcept {
  const void* zero = std::memchr(text.data(), '\0', text.size());  // "%s" stops there
  return Append(text.data(), zero == nullptr ? text.size() : static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
}

LogLine& LogLine::AppendCut(const char* text) noexcept {
  std::memcpy(text_ + length_, text, kLongest - length_);
  length_ = kLongest;
  return *this;
}

LogLine& LogLine::operator<<(std::int32_t number) noexcept {
  char digits[11];  // "-2147483648"
  char* first = digits + sizeof(digits);
  std::uint32_t magnitude = number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--first = '-';
  return Append(first, static_cast<std::size_t>(digits + sizeof(digits) - first));  // no zero character
}

void IDebugLog::Log(int level, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  LogV(level, format, args);
  va_end(args);
}

// Lines are also logged from code that a trampoline runs in the middle of a game function:
// formatting and writing may use the SSE registers, where the game may hold values there,
// so a line leaves all eight as it found them.
QX_BEGIN_KEEPING_SSE_REGISTERS
void LogMessage(const char* format, ...) {
  alignas(16) unsigned char sse[8][16];
  asm volatile(
      "movdqu %%xmm0, 0x00(%0)\n\tmovdqu %%xmm1, 0x10(%0)\n\tmovdqu %%xmm2, 0x20(%0)\n\t"
      "movdqu %%xmm3, 0x30(%0)\n\tmovdqu %%xmm4, 0x40(%0)\n\tmovdqu %%xmm5, 0x50(%0)\n\t"
      "movdqu %%xmm6, 0x60(%0)\n\tmovdqu %%xmm7, 0x70(%0)"
      :
      : "r"(sse)
      : "memory");
  std::va_list args;
  va_start(args, format);
  IDebugLog::LogV(IDebugLog::kLevel_Message, format, args);
  va_end(args);
  asm volatile(
      "movdqu 0x00(%0), %%xmm0\n\tmovdqu 0x10(%0), %%xmm1\n\tmovdqu 0x20(%0), %%xmm2\n\t"
      "movdqu 0x30(%0), %%xmm3\n\tmovdqu 0x40(%0), %%xmm4\n\tmovdqu 0x50(%0), %%xmm5\n\t"
      "movdqu 0x60(%0), %%xmm6\n\tmovdqu 0x70(%0), %%xmm7"
      :
      : "r"(sse)
      : "memory");
}
QX_END_KEEPING_SSE_REGISTERS

void LogFatal(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  IDebugLog::LogV(IDebugLog::kLevel_Fatal, format, args);
  va_end(args);
}

void IDebugLog::AssertFailed(const char* file, int line, const char* text) {
  LogFatal("Assertion failed in %s (%d): %s", file, line, text);
  qx::platform::TerminateProcess();
}

void IDebugLog::AssertFailedWithCode(const char* file, int line, const char* text,
                                     std::int64_t code) {
  auto bits = static_cast<std::uint64_t>(code);
  if ((bits >> 32) == 0) {
    auto low = static_cast<std::uint32_t>(bits);
    LogFatal("Assertion failed in %s (%d): %s (code = %08X (%d))", file, line, text, low,
             static_cast<std::int32_t>(low));
  } else {
    IDebugLog::Log(kLevel_Fatal, "Assertion failed in %s (%d): %s (code = %16llX (%lld))", file,
                   line, text, static_cast<unsigned long long>(bits),
                   static_cast<long long>(code));
  }
  qx::platform::TerminateProcess();
}
