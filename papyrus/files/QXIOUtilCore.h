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
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::io {

// Whether the file system has an entry at the path (the open files are not consulted).
[[nodiscard]] bool ExistsFile(const char* path);
// Opens the file for reading or for writing (appending or emptying it) with a buffer of
// `bufferSize` lines; true if the path is open afterwards. A path already open keeps its
// first mode and buffer.
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

}  // namespace qx::io
