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

// As the system's call: a folder that does not fit is a failure, never a cut path.
std::int32_t CopyWhole(const std::string& text, char (&out)[kMaxPath]) {
  if (text.size() >= kMaxPath) {
    errno = ENAMETOOLONG;
    return kFailedResult;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return 0;
}

}  // namespace

std::int32_t GetShellFolderPath(std::int32_t folderId, char (&path)[kMaxPath]) {
  if (folderId != kFolderId_Documents) return kFailedResult;
  const char* docs = std::getenv("QXKIT_DOCUMENTS_DIR");
  if (docs == nullptr) {
    const char* home = std::getenv("HOME");
    if (home == nullptr) return kFailedResult;
    return CopyWhole(std::string(home) + "/Documents", path);
  }
  if (*docs == '\0') {  // the simulated game's way of saying the folder cannot be resolved
    errno = ENOENT;
    return kFailedResult;
  }
  return CopyWhole(docs, path);
}

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }

std::string MainExecutablePath() {
  if (const char* game = std::getenv("QXKIT_GAME_DIR")) return std::string(game) + "\\TESV.exe";
  std::string path(kMaxPath, '\0');
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < path.size()) {
      path.resize(static_cast<std::size_t>(n));
      return path;
    }
    path.resize(path.size() * 2);  // readlink cuts silently: a full buffer may hold a cut path
  }
}

void RemoveFileSpec(std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) {
    path.clear();
    return;
  }
  path.resize(cut == 0 ? 1 : cut);
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
