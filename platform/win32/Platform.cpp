#include "platform/Platform.h"
#include "platform/ReadOpenFile.h"

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
  std::FILE* file = std::fopen(path, "rb");
  return file != nullptr && ReadOpenFile(file, content);
}

std::FILE* OpenTextFileForReading(const char* path) { return std::fopen(path, "r"); }

void TerminateProcess() {
  std::fflush(nullptr);
  ::TerminateProcess(GetCurrentProcess(), 3);
  for (;;) {}
}

}  // namespace qx::platform
