// The script file functions on the POSIX file system: the Windows path texts scripts use
// are mapped by reading "\" as "/", and reading drops the carriage return of a CR LF line
// end as Windows' text mode does, so scripts see the same lines in both builds.
#include "platform/Files.h"

#include <emmintrin.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qx::platform {
namespace {

bool IsNotFound(int error) {
  // The counterparts of file not found, path not found and invalid name.
  return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

}  // namespace

FilePath FilePath::FromScriptText(std::string_view text) {
  FilePath path;
  path.display_.assign(text);
  path.native_.assign(text);
  for (char& c : path.native_) {
    if (c == '\\') c = '/';
  }
  return path;
}

FilePath FilePath::ForJudging(std::string_view text) {
  FilePath path;
  path.display_.assign(text);
  return path;
}

std::string_view FilePath::JudgedText() const noexcept { return display_; }

void FilePath::UseBackslashes() {
  for (char& c : display_) {
    if (c == '/') c = '\\';
  }
}

// The judge writes "\\": each becomes "/", 16 characters at a time.
void FilePath::UseFullPath(std::string&& fullPath) {
  native_ = std::move(fullPath);
  char* at = native_.data();
  char* const end = at + native_.size();
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i slash = _mm_set1_epi8('/');
  for (; end - at >= 16; at += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i isBackslash = _mm_cmpeq_epi8(block, backslash);
    block = _mm_or_si128(_mm_andnot_si128(isBackslash, block), _mm_and_si128(isBackslash, slash));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), block);
  }
  for (; at < end; ++at) {
    if (*at == '\\') *at = '/';
  }
}

std::string_view CurrentFolder(char (&room)[kCurrentFolderRoom]) noexcept {
  return ::getcwd(room, sizeof room) != nullptr ? std::string_view(room) : std::string_view();
}

// A path from "/" (or "\\", as a script may write it) needs only the root, and every folder
// here has the same one.
std::string_view ResolvingFolder(std::string_view path, char (&room)[kCurrentFolderRoom]) noexcept {
  return !path.empty() && (path[0] == '/' || path[0] == '\\') ? std::string_view("/") : CurrentFolder(room);
}

std::string LongPathName(std::string path) { return path; }

std::string ShownPath(std::string_view path) {
  std::string shown(path);
  bool drive = shown.size() >= 2 && shown[1] == ':';  // a Windows path, as a setting wrote it
  if (!drive) std::replace(shown.begin(), shown.end(), '\\', '/');
  return shown;
}

Existence TestExistence(const FilePath& path, std::string& error, std::uint64_t* size) {
  struct stat info;
  if (path.Native().empty()) return Existence::kMissing;
  if (::stat(path.Native().c_str(), &info) == 0) {
    if (size != nullptr) *size = static_cast<std::uint64_t>(info.st_size);
    return Existence::kExists;
  }
  int code = errno;
  if (IsNotFound(code)) return Existence::kMissing;
  error = std::strerror(code);
  return Existence::kUnknown;
}

void OpenTextInput(std::ifstream& stream, const FilePath& path) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native(), std::ios::in);
}

void OpenBinaryInput(std::ifstream& stream, const FilePath& path) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native(), std::ios::in | std::ios::binary);
}

void OpenBinaryOutput(std::ofstream& stream, const FilePath& path, std::ios::openmode mode) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native(), mode | std::ios::out | std::ios::binary);
}

void ClearFileError() noexcept { errno = 0; }

bool LastFileError(char* text, std::size_t size) noexcept {
  int code = errno;
  if (code == 0 || size == 0) return false;
  std::snprintf(text, size, "%s", std::strerror(code));
  return true;
}

RemoveResult RemoveFile(const FilePath& path, std::string& error) {
  if (::unlink(path.Native().c_str()) == 0) return RemoveResult::kRemoved;
  int code = errno;
  if (IsNotFound(code)) return RemoveResult::kMissing;
  error = std::strerror(code);
  return RemoveResult::kError;
}

}  // namespace qx::platform
