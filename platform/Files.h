#pragma once
// The operating-system seam for the text files scripts read and write. Scripts name files by
// narrow path texts in the game's ANSI code page; Windows takes them as wide paths with "\"
// separators, the Linux build maps the same texts onto the POSIX file system.
//
// Errors that the file system reports while a stream is in use come back as exceptions
// (std::ios_base::failure, std::bad_alloc); opening failures are results.
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace qx::platform {

#ifdef _WIN32
using NativePathString = std::wstring;
#else
using NativePathString = std::string;
#endif

// A script's path text converted to the form the file system calls take.
class FilePath {
 public:
  FilePath() = default;
  // The text as given (converted from the ANSI code page on Windows); may throw
  // std::bad_alloc. Separators stay as they are.
  [[nodiscard]] static FilePath FromScriptText(std::string_view text);

  // The text as given, for a judge to resolve before any file system call: the Windows build
  // converts it as FromScriptText does; the Linux build keeps the narrow text alone (the judge
  // reads "/" and "\" alike), and the file system's form comes from UseFullPath.
  [[nodiscard]] static FilePath ForJudging(std::string_view text);
  // The text in the form the judge reads: the converted text on Windows, the script's own on
  // Linux.
  [[nodiscard]] std::basic_string_view<NativePathString::value_type> JudgedText() const noexcept;

  // Replaces every "/" by "\" (the form the log shows and the streams open).
  void UseBackslashes();
  // From now on the file system calls take `fullPath` (written with "\"), the full path the
  // text was judged to name; the log still shows the script's text.
  void UseFullPath(NativePathString&& fullPath);
  // The path as the log shows it: the script's narrow text, separators as now.
  [[nodiscard]] const std::string& Display() const noexcept { return display_; }
  [[nodiscard]] const NativePathString& Native() const noexcept { return native_; }

 private:
  std::string display_;
  NativePathString native_;
};

using NativeUnit = NativePathString::value_type;
// Room for the current folder: Windows keeps it within MAX_PATH characters.
#ifdef _WIN32
inline constexpr std::size_t kCurrentFolderRoom = 261;
#else
inline constexpr std::size_t kCurrentFolderRoom = 4096;
#endif
// The process's current folder as a full path (the folder relative paths resolve against),
// written into `room`; empty when the system cannot tell or the folder does not fit (never
// a cut path). On Windows a folder entered by a short name (C:\PROGRA~1\...) comes in its
// long form, as the folders scripts may write in do (see LongPathName); only a folder
// holding a "~" costs a file system call.
[[nodiscard]] std::basic_string_view<NativeUnit> CurrentFolder(NativeUnit (&room)[kCurrentFolderRoom]) noexcept;
// The folder the system resolves `path` (native form) against: the current folder, or where
// the path needs no more than its root and the system has one root, that root.
[[nodiscard]] std::basic_string_view<NativeUnit> ResolvingFolder(std::basic_string_view<NativeUnit> path,
                                                               NativeUnit (&room)[kCurrentFolderRoom]) noexcept;

// A full path the system gave, with each short 8.3 name (PROGRA~1) replaced by the long
// name it stands for, as far as the path exists; names past that, and a path the system
// cannot lengthen, stay as given. Windows gives a folder in whichever form it was entered,
// and a path judged in one form is compared with a folder in the other. The Linux build's
// names have no short forms: the path as given. May throw std::bad_alloc.
[[nodiscard]] NativePathString LongPathName(NativePathString path);

// A full path as the judge writes it (papyrus/files/ScriptPathJudge.h), for the log and the
// tools: in the ANSI code page on Windows; in the Linux build a path without a drive is
// written with "/" as the system writes it. May throw std::bad_alloc.
[[nodiscard]] std::string ShownPath(std::basic_string_view<NativeUnit> path);

enum class Existence { kExists, kMissing, kUnknown };

// Whether the file system has an entry at the path. Windows counts
// file not found (2), path not found (3), bad network path (53) and invalid name (123) as
// missing; any other failure is kUnknown with the system's message in `error`.
// With `size`, an existing file's size in bytes is written there too.
[[nodiscard]] Existence TestExistence(const FilePath& path, std::string& error, std::uint64_t* size = nullptr);

// Reading is in text mode (CR LF read as LF on Windows). Writing is binary: the writer ends
// each line with kLineEnd itself, as text mode would, so that a stream open for writing reads
// a file's first bytes exactly as they are. Streams report I/O errors and memory exhaustion
// as exceptions.
#ifdef _WIN32
inline constexpr std::string_view kLineEnd = "\r\n";
#else
inline constexpr std::string_view kLineEnd = "\n";
#endif
void OpenTextInput(std::ifstream& stream, const FilePath& path);
void OpenBinaryInput(std::ifstream& stream, const FilePath& path);
// `mode` as a file stream takes it; writing and binary are added (app: create or append;
// trunc: create or empty; in: an existing file, unchanged, readable too).
void OpenBinaryOutput(std::ofstream& stream, const FilePath& path, std::ios::openmode mode);

// The system's own words for why the last file operation of this thread failed: a write
// that found the disk full reports it here, while the stream only says that it failed.
// Clear before the operation; afterwards the text (cut to `size`) and true, or false when
// the system reported nothing.
void ClearFileError() noexcept;
[[nodiscard]] bool LastFileError(char* text, std::size_t size) noexcept;

// Reads up to `size` bytes of a text-mode stream (line ends as the platform's text mode
// delivers them) into `buffer`: fewer only at the end of the file, 0 there. For a stream
// without a buffer of its own, the bytes go straight from the system into `buffer`, `size`
// at a time (a little more often where Windows' text mode drops carriage returns). Read
// errors are thrown (std::ios_base::failure).
[[nodiscard]] inline std::size_t ReadTextBlock(std::ifstream& stream, char* buffer, std::size_t size) {
  std::streamsize got = stream.rdbuf()->sgetn(buffer, static_cast<std::streamsize>(size));
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// Whether a carriage return before a line feed is left for the reader to drop: Windows'
// text mode has already turned CR LF into LF, the POSIX file system leaves it.
#ifdef _WIN32
inline constexpr bool kLinesKeepCarriageReturn = false;
#else
inline constexpr bool kLinesKeepCarriageReturn = true;
#endif

enum class RemoveResult { kRemoved, kMissing, kError };
// Removes the file; the not-found errors of TestExistence mean kMissing; on kError `error`
// holds the system's message.
[[nodiscard]] RemoveResult RemoveFile(const FilePath& path, std::string& error);

}  // namespace qx::platform
