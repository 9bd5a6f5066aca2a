#pragma once
// The operating-system seam. Feature code never includes windows.h: the Windows build
// implements these with the Win32 calls the game's process offers, the Linux build with
// POSIX stand-ins whose folders the simulated game chooses.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qx::platform {

inline constexpr std::size_t kMaxPath = 260;
inline constexpr std::int32_t kFolderId_Documents = 5;  // the user's documents folder

// SHGetFolderPathA(no window, folderId, no token, current path): a negative result is a
// failure, and `path` is then unspecified. A folder whose path does not fit is a failure,
// never a cut path.
[[nodiscard]] std::int32_t GetShellFolderPath(std::int32_t folderId, char (&path)[kMaxPath]);
[[nodiscard]] std::uint32_t LastError();

// GetModuleFileNameA of the process's main executable (the game), read whole however long
// its path: the buffer grows until the path fits, never a cut path. Empty when the system
// cannot give it.
[[nodiscard]] std::string MainExecutablePath();
// Cuts the last name of `path` and the separator before it, as PathRemoveFileSpecA does,
// whatever the path's length: a root keeps its separator ("C:\x.exe" gives "C:\"), a path
// without a separator becomes empty.
void RemoveFileSpec(std::string& path);

// CreateDirectoryA; every failure, an existing folder included, is ignored.
void CreateDirectoryIgnoringErrors(const char* path);
// The log file: written in text mode, truncated; other processes may read it but not
// write it while it is open. Null when it cannot be opened.
[[nodiscard]] std::FILE* OpenSharedReadLogFile(const char* path);
// The whole content of a file read in binary mode; false (and `content` unchanged) when it
// cannot be opened or read: never an exception.
[[nodiscard]] bool ReadWholeFile(const char* path, std::string& content);

// fopen(path, "r"): the file for reading in text mode (CR LF read as LF on Windows).
// Null when it does not exist or cannot be opened.
[[nodiscard]] std::FILE* OpenTextFileForReading(const char* path);

// Ends the process at once, after a failed assertion.
[[noreturn]] void TerminateProcess();

}  // namespace qx::platform
