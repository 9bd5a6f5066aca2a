#include "platform/Platform.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <share.h>

#include <exception>
#include <utility>

namespace qx::platform {

std::int32_t GetShellFolderPath(std::int32_t folderId, char (&path)[kMaxPath]) {
  return SHGetFolderPathA(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path);
}

std::uint32_t LastError() { return GetLastError(); }

void GetMainExecutablePath(char (&path)[kMaxPath]) {
  path[0] = '\0';
  GetModuleFileNameA(nullptr, path, kMaxPath);
}

void RemoveFileSpec(char* path) { PathRemoveFileSpecA(path); }

void CreateDirectoryIgnoringErrors(const char* path) { CreateDirectoryA(path, nullptr); }

std::FILE* OpenSharedReadLogFile(const char* path) { return _fsopen(path, "w", _SH_DENYWR); }

bool ReadWholeFile(const char* path, std::string& content) {
  // Read with the C library: a read error (a folder of that name, a failing disk) is then
  // a result, where a stream's buffer throws it past every caller.
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::string bytes;
  bool read = true;
  try {
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) bytes.append(block, n);
  } catch (const std::exception&) {  // memory exhausted
    read = false;
  }
  read = read && std::ferror(file) == 0;
  std::fclose(file);
  if (read) content = std::move(bytes);
  return read;
}

std::FILE* OpenTextFileForReading(const char* path) { return std::fopen(path, "r"); }

void TerminateProcess() {
  std::fflush(nullptr);
  ::TerminateProcess(GetCurrentProcess(), 3);
  for (;;) {}
}

}  // namespace qx::platform
