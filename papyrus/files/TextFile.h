#pragma once
// One text file a script has opened: for reading or for writing, never both, with the lines
// read ahead or waiting to be written, and its own lock. Every operation takes the lock for its whole length, so several
// script threads using one file each get or give whole lines and none is lost.
#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "papyrus/files/LineReadAhead.h"
#include "platform/ExclusiveLock.h"
#include "platform/Files.h"

namespace qx::io {

// The one line for an existence test that failed for another reason than a missing file,
// whether a script asked ExistsFile or LoadFile; `path` as the caller shows it.
void LogExistenceUnknown(std::string_view path, const char* reason) noexcept;

// Whether the first block of the file at `path` holds a zero byte: no script can have written
// it (a script's text has none), so it is a save, an archive, a program or another binary file
// of the game, a mod or the player. False when the file is missing or cannot be read.
[[nodiscard]] bool HoldsZeroByteInFirstBlock(const platform::FilePath& path);

// What a file opened for writing may already hold.
enum class Contents : std::uint8_t {
  kAny,
  kText,  // an existing file with a zero byte in its first block is refused, unchanged
};

class TextFile {
 public:
  // Builds the object as a script's LoadFile asks for it and opens the stream, logging the
  // loading lines (or, for a file refused for its contents, the one line that says so). Null
  // when the file could not be opened (missing file to read, illegal buffer size, contents
  // refused, stream not open, memory exhausted). `path` is taken as it is: judging the
  // script's text is the caller's.
  [[nodiscard]] static std::shared_ptr<TextFile> Load(platform::FilePath path, bool read, bool append,
                                                      std::int32_t bufferSize, Contents contents);

  [[nodiscard]] bool IsGood() const noexcept { return good_.load(); }
  [[nodiscard]] bool IsReadMode() const noexcept { return read_; }

  // Without the lock while read-ahead lines are waiting (scripts ask before every line, and
  // taking a line reads the next ones ahead); with it before the first line and at the end.
  [[nodiscard]] bool HasNextLine() {
    if (linesWaiting_.load(std::memory_order_relaxed) != 0) return true;
    return HasNextLineLocking();
  }
  // Hands the next line (zero-terminated), or the end marker at the end of the file, to
  // `use` while the lock is held, then moves on; a line is only passed once `use` returned.
  // False, without calling `use`, when the file is not good or not read.
  using LineUser = void (*)(std::string_view line, void* context);
  bool UseNextLine(LineUser use, void* context);
  [[nodiscard]] bool WriteLine(std::string_view line);

  // Writes out what is buffered and closes the stream; false when that failed.
  [[nodiscard]] bool Close();
  // As the process ends: the same, but only if no other thread holds the file (one that
  // ended holding it never gives it back); false, with nothing done, when one does. Logs only
  // a failure to write.
  [[nodiscard]] bool CloseUnlessHeld() noexcept;
  // Removes the file at `path` (its own, as judged for deleting) from the disk; only after
  // Close. False when no file was removed.
  [[nodiscard]] bool DeleteFromDisk(const platform::FilePath& path);

  TextFile(bool read, bool append, std::int32_t bufferSize, platform::FilePath path) noexcept;
  ~TextFile() { QX_LOCK_WORD_CHECKED(linesWaiting_); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

 private:
  [[nodiscard]] bool HasNextLineLocking();
  // After every change of the read-ahead.
  void CountWaitingLinesLocked() noexcept {
    linesWaiting_.store(IsGood() ? static_cast<std::uint32_t>(readAhead_.LinesLeft()) : 0, std::memory_order_relaxed);
  }
  enum class Opened : std::uint8_t { kOpened, kNotOpened, kHoldsZeroByte, kFailed };
  // Lock held; nothing logged (kFailed: `error` holds the exception's message).
  Opened Open(bool checkFirstBlock, std::string& error);
  Opened OpenForWriting(bool checkFirstBlock);
  void RefillLocked();    // lock held
  // Bytes from the read position up to and including the next line feed (or to the end),
  // read and then sought back over; the read-ahead's "unknown" when the stream cannot seek.
  [[nodiscard]] std::size_t RestOfLineLocked();  // lock held
  void WriteOutLocked();  // lock held
  // Close's work, lock held: false when buffered lines did not reach the file.
  bool CloseLocked(bool logClosed) noexcept;
  void Fail(const char* what, const std::exception& error) noexcept;
  // A write or close that failed on the disk: logs the file and the system's reason.
  void FailWriting(const char* what, const std::exception& error) noexcept;

  platform::ExclusiveLock lock_;
  std::atomic<bool> good_{true};
  const bool read_;
  const bool append_;
  platform::FilePath path_;
  LineReadAhead readAhead_;  // read mode
  // How many lines the read-ahead holds that no caller has taken yet, 0 once the file is no
  // longer good: set under the lock, read without it. A hint only (another thread may take
  // the line next), which is all a script asking HasNextLine gets anyway; the race
  // detectors are told to leave it alone.
  std::atomic<std::uint32_t> linesWaiting_{0};
  // Write mode: the lines waiting for the buffer to fill, each followed by its line feed,
  // and how many they are (the script's buffer size at most).
  const std::int32_t bufferSize_;
  std::string written_;
  std::int32_t writtenLines_ = 0;
  // Neither stream has a buffer of its own: lines are read ahead and written out in blocks.
  std::ifstream input_;
  std::ofstream output_;
};

}  // namespace qx::io
