#pragma once
// What the script class QXIOUtil does, in plain C++ types: scripts read and write text files
// line by line, naming each open file by the path text they opened it with. Path and line
// texts may be null (a script string built from nothing) and then count as "".
//
// Functions of the class, in registration order, and what scripts see:
//   Bool   ExistsFile(String path)
//   Bool   LoadFile(String path, Bool read, Bool append, Int bufferSize)
//   Bool   CloseFile(String path)
//   Bool   DeleteAnyFile(String path)
//   Bool   IsLoaded(String path)
//   Bool   IsGood(String path)
//   Bool   IsReadOnly(String path)
//   Bool   IsWriteOnly(String path)
//   Bool   HasNextLine(String path)
//   String NextLine(String path)
//   Bool   WriteLine(String path, String line)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::io {

// The most files scripts may hold open at once: well below the C runtime's table of streams
// (509), which every module of the game's process that uses it shares.
inline constexpr std::size_t kMaxOpenFiles = 256;

// Whether the file system has an entry at the path (the open files are not consulted).
[[nodiscard]] bool ExistsFile(const char* path);
// Opens the file for reading or for writing (appending or emptying it) with a buffer of
// `bufferSize` lines; true if the path is open afterwards. A path already open keeps its
// first mode and buffer. With kMaxOpenFiles open, another path opens no file: false, and one
// log line until a file is closed again.
[[nodiscard]] bool LoadFile(const char* path, bool read, bool append, std::int32_t bufferSize);
// Writes out buffered lines and closes; false if the path is not open or closing failed.
[[nodiscard]] bool CloseFile(const char* path);
// Closes the file if it is open (writing out its lines) and deletes it.
[[nodiscard]] bool DeleteAnyFile(const char* path);
[[nodiscard]] bool IsLoaded(const char* path);
[[nodiscard]] bool IsGood(const char* path);
[[nodiscard]] bool IsReadOnly(const char* path);
[[nodiscard]] bool IsWriteOnly(const char* path);
[[nodiscard]] bool HasNextLine(const char* path);
// Hands the next line to `use`, as zero-terminated text that is valid during the call (no
// copy is made): the one-character end marker 0x07 at the end of the file, "" when the path
// is not open, not good or not read. `use` runs under the file's lock, so it must not call
// these functions; if it throws, the line stays the next one.
using LineUser = void (*)(std::string_view line, void* context);
void NextLine(const char* path, LineUser use, void* context);
// The same, copied into `line` (whose storage is reused).
void NextLine(const char* path, std::string& line);
// Buffers one line; true if the path is open, good and written.
[[nodiscard]] bool WriteLine(const char* path, const char* line);

// As the process ends normally: every open file writes out its buffered lines and is closed,
// but one that another thread holds (it may have ended holding it) is left as it is and named
// in the log; nothing is waited for, the log included. Runs by itself as the plugin unloads
// (the process's exit; in the game, as the DLL detaches from the ending process).
void CloseFilesAsTheProcessEnds() noexcept;

}  // namespace qx::io
