#include "platform/Platform.h"
#include "platform/ReadOpenFile.h"

#include <windows.h>
#include <shlobj.h>
#include <share.h>

#include <cstring>
#include <exception>
#include <utility>

namespace qx::platform {

std::int32_t GetShellFolderPath(std::int32_t folderId, char (&path)[kMaxPath]) {
  path[kMaxPath - 1] = '\0';
  path[0] = '\0';
  HRESULT result = SHGetFolderPathA(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path);
  // An answer without its terminator inside the buffer is no folder to use.
  if (result >= 0 && std::memchr(path, '\0', kMaxPath) == nullptr) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return E_FAIL;
  }
  return result;
}

std::uint32_t LastError() { return GetLastError(); }

// Windows gives a long path only a path's worth at a time: a result as long as the buffer
// means the path was cut to fit, so the buffer grows and the call is made again.
std::string MainExecutablePath() {
  constexpr std::size_t kLongestPath = 32768;  // the longest path Windows has
  std::string path(kMaxPath, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() > kLongestPath) return {};
    path.resize(path.size() * 2);
  }
}

// Character by character: in a double-byte code page the second byte of a character may
// be that of a backslash.
void RemoveFileSpec(std::string& path) {
  const char* begin = path.c_str();
  const char* last = nullptr;
  for (const char* at = begin; *at != '\0'; at = CharNextA(at)) {
    if (*at == '\\' || *at == '/') last = at;
  }
  if (last == nullptr) {
    path.clear();
    return;
  }
  std::size_t cut = static_cast<std::size_t>(last - begin);
  bool rootSeparator = cut == 0 || (cut == 2 && path[1] == ':');
  path.resize(rootSeparator ? cut + 1 : cut);
}

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
