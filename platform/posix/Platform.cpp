// POSIX stand-ins for the game's process: the simulated game names the documents folder
// and the game folder in QXKIT_DOCUMENTS_DIR and QXKIT_GAME_DIR; paths written with
// Windows separators are mapped onto the POSIX file system.
#include "platform/Platform.h"
#include "platform/ReadOpenFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <utility>

namespace qx::platform {
namespace {

constexpr std::int32_t kFailedResult = static_cast<std::int32_t>(0x80004005);  // E_FAIL

std::string ToPosixPath(const char* path) {
  std::string posix(path);
  for (char& c : posix) {
    if (c == '\\') c = '/';
  }
  return posix;
}

void CopyTruncated(const std::string& text, char (&out)[kMaxPath]) {
  std::size_t n = text.size() < kMaxPath - 1 ? text.size() : kMaxPath - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

std::int32_t GetShellFolderPath(std::int32_t folderId, char (&path)[kMaxPath]) {
  if (folderId != kFolderId_Documents) return kFailedResult;
  const char* docs = std::getenv("QXKIT_DOCUMENTS_DIR");
  if (docs == nullptr) {
    const char* home = std::getenv("HOME");
    if (home == nullptr) return kFailedResult;
    CopyTruncated(std::string(home) + "/Documents", path);
    return 0;
  }
  if (*docs == '\0') {  // the simulated game's way of saying the folder cannot be resolved
    errno = ENOENT;
    return kFailedResult;
  }
  CopyTruncated(docs, path);
  return 0;
}

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

void GetMainExecutablePath(char (&path)[kMaxPath]) {
  if (const char* game = std::getenv("QXKIT_GAME_DIR")) {
    CopyTruncated(std::string(game) + "\\TESV.exe", path);
    return;
  }
  ssize_t n = readlink("/proc/self/exe", path, kMaxPath - 1);
  path[n < 0 ? 0 : n] = '\0';
}

void RemoveFileSpec(char* path) {
  char* cut = nullptr;
  for (char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') cut = p;
  }
  if (cut != nullptr) *cut = '\0';
}

void CreateDirectoryIgnoringErrors(const char* path) {
  if (*path != '\0') mkdir(ToPosixPath(path).c_str(), 0777);
}

std::FILE* OpenSharedReadLogFile(const char* path) {
  return std::fopen(ToPosixPath(path).c_str(), "w");
}

bool ReadWholeFile(const char* path, std::string& content) {
  std::FILE* file = std::fopen(ToPosixPath(path).c_str(), "rb");
  return file != nullptr && ReadOpenFile(file, content);
}

std::FILE* OpenTextFileForReading(const char* path) {
  return std::fopen(ToPosixPath(path).c_str(), "r");
}

void TerminateProcess() {
  std::fflush(nullptr);
  _exit(3);
}

}  // namespace qx::platform
