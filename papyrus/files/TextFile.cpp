#include "papyrus/files/TextFile.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "common/IDebugLog.h"
#include "papyrus/files/ProtectedFiles.h"
#include "papyrus/files/ScriptFolders.h"

namespace qx::io {
namespace {

// Reads the file's first block from where a freshly opened stream stands, its start; how many
// bytes it read (the whole block, or the file to its end), or -1 when they hold a zero byte.
std::streamsize ReadFirstBlock(std::streambuf& file) {
  char block[kFirstBlockSize];
  std::streamsize got = file.sgetn(block, sizeof block);
  return got > 0 && std::memchr(block, 0, static_cast<std::size_t>(got)) != nullptr ? -1 : got;
}

// The line as the file holds it, after what is there: every line feed, inside it too, ends a
// line as the platform's text files do.
void AppendLine(std::string& to, std::string_view line) {
  if constexpr (platform::kLineEnd.size() > 1) {
    for (std::size_t feed; (feed = line.find('\n')) != std::string_view::npos; line.remove_prefix(feed + 1)) {
      to.append(line.data(), feed).append(platform::kLineEnd);
    }
  }
  to.append(line).append(platform::kLineEnd);
}

void LogException(const char* what, const std::exception& error) noexcept {
  LogMessage("QX IO Util:   %s", what);
  LogMessage("QX IO Util:   %s\n", error.what());
}

}  // namespace

bool HoldsZeroByteInFirstBlock(const platform::FilePath& path) {
  std::ifstream file;
  file.rdbuf()->pubsetbuf(nullptr, 0);
  try {
    platform::OpenBinaryInput(file, path);
    return file.is_open() && ReadFirstBlock(*file.rdbuf()) < 0;
  } catch (const std::exception&) {
    return false;
  }
}

void LogExistenceUnknown(std::string_view path, const char* reason) noexcept {
  LogMessage("QX IO Util: could not test whether file '%.*s' exists: %s", static_cast<int>(path.size()),
             path.data(), reason != nullptr ? reason : "");
}

TextFile::TextFile(bool read, bool append, std::int32_t bufferSize,
                   platform::FilePath path) noexcept
    : read_(read),
      append_(append),
      path_(std::move(path)),
      readAhead_(bufferSize < 1 ? 1 : bufferSize, platform::kLinesKeepCarriageReturn),
      bufferSize_(bufferSize < 1 ? 1 : bufferSize) {
  QX_LOCK_WORD_UNCHECKED(linesWaiting_);
}

void TextFile::Fail(const char* what, const std::exception& error) noexcept {
  good_ = false;
  linesWaiting_.store(0, std::memory_order_relaxed);
  LogException(what, error);
}

void TextFile::FailWriting(const char* what, const std::exception& error) noexcept {
  good_ = false;
  linesWaiting_.store(0, std::memory_order_relaxed);
  char reason[256];
  if (!platform::LastFileError(reason, sizeof reason)) std::snprintf(reason, sizeof reason, "%s", error.what());
  LogMessage("QX IO Util:   %s", what);
  LogMessage("QX IO Util:   '%s': %s\n", path_.Display().c_str(), reason);
}

std::shared_ptr<TextFile> TextFile::Load(platform::FilePath path, bool read, bool append,
                                         std::int32_t bufferSize, Contents contents) {
  std::shared_ptr<TextFile> file;
  // A file opened for writing that may not hold a zero byte is opened as it is and read, which
  // tells whether it exists too; any other is tested first.
  const bool checkFirstBlock = !read && contents == Contents::kText;
  platform::Existence existence = platform::Existence::kExists;
  std::string existenceError;
  std::uint64_t bytes = ~std::uint64_t{0};  // unknown
  try {
    if (!checkFirstBlock) existence = platform::TestExistence(path, existenceError, &bytes);
    path.UseBackslashes();
    file = std::make_shared<TextFile>(read, append, bufferSize, std::move(path));
    if (read && existence == platform::Existence::kExists) file->readAhead_.ExpectBytes(bytes);
  } catch (const std::exception& error) {
    LogException("Error reading or creating file:", error);
    return nullptr;
  }
  const std::string& shown = file->path_.Display();

  // Opened before the loading line, so that a file refused for what it holds logs that alone.
  std::lock_guard<platform::ExclusiveLock> guard(file->lock_);
  std::string openError;
  const bool opens = bufferSize >= 1 && !(read && existence == platform::Existence::kMissing);
  Opened opened = opens ? file->Open(checkFirstBlock, openError) : Opened::kNotOpened;
  if (opened == Opened::kHoldsZeroByte) {
    LogProtectedFileRefused(shown, Protection::kBinary);
    return nullptr;
  }
  LogMessage("QX IO Util: loading file '%s'...", shown.c_str());
  if (existence == platform::Existence::kUnknown) {
    // Not known to be missing: opening the stream decided.
    LogExistenceUnknown(shown, existenceError.c_str());
  }
  if (existence == platform::Existence::kMissing && read) {
    LogMessage("QX IO Util:   file does not exist; aborting load");
    return nullptr;
  }
  if (bufferSize < 1) {
    LogMessage("QX IO Util:   illegal buffer size '%d'", bufferSize);
    return nullptr;
  }
  if (opened == Opened::kFailed) {
    file->good_ = false;
    LogMessage("QX IO Util:   Error reading or creating file:");
    LogMessage("QX IO Util:   %s\n", openError.c_str());
    return nullptr;
  }
  if (opened != Opened::kOpened) {
    file->good_ = false;
    LogMessage("QX IO Util:   could not open or create file");
    return nullptr;
  }
  LogMessage("QX IO Util:   file successfully loaded");
  return file;
}

TextFile::Opened TextFile::Open(bool checkFirstBlock, std::string& error) {
  try {
    if (!read_) return OpenForWriting(checkFirstBlock);
    // The read-ahead block takes the file's bytes straight from the system: the stream
    // needs no buffer of its own.
    input_.rdbuf()->pubsetbuf(nullptr, 0);
    platform::OpenTextInput(input_, path_);
    return input_.is_open() ? Opened::kOpened : Opened::kNotOpened;
  } catch (const std::exception& exception) {
    try {
      error = exception.what();
    } catch (const std::exception&) {
    }
    return Opened::kFailed;
  }
}

// Each batch of lines goes to the system in one write: the stream needs no buffer. A file that
// may not hold a zero byte is opened first as it is, readable too, and its first block read
// (none for a file appending has just created); only then is it emptied (opened again) or
// written after its end.
TextFile::Opened TextFile::OpenForWriting(bool checkFirstBlock) {
  output_.rdbuf()->pubsetbuf(nullptr, 0);
  if (!checkFirstBlock) {
    platform::OpenBinaryOutput(output_, path_, append_ ? std::ios::app : std::ios::trunc);
    return output_.is_open() ? Opened::kOpened : Opened::kNotOpened;
  }
  platform::OpenBinaryOutput(output_, path_, append_ ? std::ios::in | std::ios::app : std::ios::in);
  if (!output_.is_open()) {
    // Appending creates a missing file; emptying it ("in" opens only an existing file) creates
    // one only where none is, never one it could not read first.
    std::string error;
    if (append_ || platform::TestExistence(path_, error) != platform::Existence::kMissing) return Opened::kNotOpened;
    platform::OpenBinaryOutput(output_, path_, std::ios::trunc);
    return output_.is_open() ? Opened::kOpened : Opened::kNotOpened;
  }
  std::filebuf& file = *output_.rdbuf();
  std::streamsize got = ReadFirstBlock(file);
  if (got < 0) {
    output_.close();
    return Opened::kHoldsZeroByte;
  }
  if (append_) {
    // A read that found the end leaves the stream ready to write; one that stopped before it
    // is left by a seek. Appending writes at the end wherever the stream stands.
    if (got == static_cast<std::streamsize>(kFirstBlockSize)) (void)file.pubseekoff(0, std::ios::end);
  } else {
    output_.close();
    platform::OpenBinaryOutput(output_, path_, std::ios::trunc);
  }
  return output_.is_open() ? Opened::kOpened : Opened::kNotOpened;
}

void TextFile::RefillLocked() {
  try {
    readAhead_.Refill([this](char* to, std::size_t room) { return platform::ReadTextBlock(input_, to, room); },
                      [this] { return RestOfLineLocked(); });
  } catch (const std::exception& error) {
    Fail("error reading file:", error);
  }
  CountWaitingLinesLocked();
}

std::size_t TextFile::RestOfLineLocked() {
  std::streambuf* in = input_.rdbuf();
  const std::streampos mark = in->pubseekoff(0, std::ios::cur, std::ios::in);
  if (mark == std::streampos(std::streamoff(-1))) return LineReadAhead::kUnknown;
  char scratch[16 * 1024];
  std::size_t rest = 0;
  for (std::size_t got; (got = platform::ReadTextBlock(input_, scratch, sizeof scratch)) > 0;) {
    if (const void* feed = std::memchr(scratch, '\n', got)) {
      rest += static_cast<std::size_t>(static_cast<const char*>(feed) - scratch) + 1;
      break;
    }
    rest += got;
  }
  if (in->pubseekpos(mark, std::ios::in) != mark) throw std::ios_base::failure("could not return to the line being read");
  return rest;
}

void TextFile::WriteOutLocked() {
  platform::ClearFileError();
  try {
    // The buffer is empty afterwards, whether or not its lines reached the file.
    std::string lines = std::move(written_);
    written_.clear();
    writtenLines_ = 0;
    output_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    lines.clear();
    written_ = std::move(lines);  // its storage serves the next batch
    // The batch reaches the file now, not when the stream's own buffer happens to fill.
    output_.flush();
    if (output_.fail()) throw std::ios_base::failure("could not write to the file");
  } catch (const std::exception& error) {
    FailWriting("error writing file:", error);
  }
}

bool TextFile::HasNextLineLocking() {
  std::lock_guard<platform::ExclusiveLock> guard(lock_);
  if (!IsGood() || !read_) return false;
  if (readAhead_.NeedsRefill()) RefillLocked();
  return IsGood() && readAhead_.HasNext();
}

bool TextFile::UseNextLine(LineUser use, void* context) {
  std::lock_guard<platform::ExclusiveLock> guard(lock_);
  if (!IsGood() || !read_) return false;
  if (readAhead_.NeedsRefill()) {
    RefillLocked();
    if (!IsGood()) return false;
  }
  use(readAhead_.PeekNext(), context);
  readAhead_.Advance();
  // The next lines are read ahead now, under this lock, so that the script's HasNextLine
  // before them finds them waiting without taking the lock (with a buffer of one line, on
  // every line). Only a failure under this lock ends a good file: it is still good here.
  if (readAhead_.NeedsRefill()) {
    RefillLocked();  // counts the waiting lines
  } else {
    linesWaiting_.store(static_cast<std::uint32_t>(readAhead_.LinesLeft()), std::memory_order_relaxed);
  }
  return true;
}

bool TextFile::WriteLine(std::string_view line) {
  std::lock_guard<platform::ExclusiveLock> guard(lock_);
  if (!IsGood() || read_) return false;
  if (writtenLines_ == bufferSize_) WriteOutLocked();
  if (!IsGood()) return false;
  try {
    // Each line as the file will hold it, after the lines before it: one block per batch.
    written_.reserve(written_.size() + line.size() + platform::kLineEnd.size());
    AppendLine(written_, line);
    ++writtenLines_;
  } catch (const std::exception& error) {
    Fail("error writing file:", error);
    return false;
  }
  return true;
}

bool TextFile::Close() {
  std::lock_guard<platform::ExclusiveLock> guard(lock_);
  return CloseLocked(/*logClosed=*/true);
}

bool TextFile::CloseLocked(bool logClosed) noexcept {
  platform::ClearFileError();
  try {
    bool written = true;  // false when buffered lines did not reach the file
    if (read_) {
      if (input_.is_open()) input_.close();
      readAhead_.Release();
    } else if (output_.is_open()) {
      if (IsGood()) {
        WriteOutLocked();  // logs its own error lines
        written = IsGood();
      }
      written_ = std::string();  // a closed file holds no lines (it may outlive Close)
      platform::ClearFileError();
      output_.close();
      if (written && output_.fail()) throw std::ios_base::failure("could not write to the file");
    }
    good_ = false;
    linesWaiting_.store(0, std::memory_order_relaxed);
    if (logClosed) LogMessage("QX IO Util: closed file '%s'", path_.Display().c_str());
    return written;
  } catch (const std::exception& error) {
    FailWriting("error closing file:", error);
    return false;
  }
}

bool TextFile::CloseUnlessHeld() noexcept {
  if (!lock_.try_lock()) return false;
  std::lock_guard<platform::ExclusiveLock> guard(lock_, std::adopt_lock);
  (void)CloseLocked(/*logClosed=*/false);
  return true;
}

bool TextFile::DeleteFromDisk(const platform::FilePath& path) {
  std::lock_guard<platform::ExclusiveLock> guard(lock_);
  if (IsGood()) return false;
  std::string error;
  switch (platform::RemoveFile(path, error)) {
    case platform::RemoveResult::kRemoved:
      return true;
    case platform::RemoveResult::kMissing:
      return false;
    case platform::RemoveResult::kError:
      LogMessage("QX IO Util:   error deleting file:");
      LogMessage("QX IO Util:   %s\n", error.c_str());
      return false;
  }
  return false;
}

}  // namespace qx::io
