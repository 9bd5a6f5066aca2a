#include "platform/Files.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qx::platform {
namespace {

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_BAD_NETPATH || error == ERROR_INVALID_NAME;
}

std::string SystemMessage(DWORD error) {
  char text[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, text, sizeof(text), nullptr);
  while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) --n;
  if (n == 0) return "system error " + std::to_string(error);
  return std::string(text, n);
}

}  // namespace

FilePath FilePath::FromScriptText(std::string_view text) {
  FilePath path;
  path.display_.assign(text);
  if (text.empty()) return path;
  int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0);
  if (length <= 0) return path;  // nothing convertible: opens nothing, exists nowhere
  path.native_.resize(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), path.native_.data(),
                      length);
  return path;
}

FilePath FilePath::ForJudging(std::string_view text) { return FromScriptText(text); }

std::wstring_view FilePath::JudgedText() const noexcept { return native_; }

void FilePath::UseBackslashes() {
  for (char& c : display_) {
    if (c == '/') c = '\\';
  }
  for (wchar_t& c : native_) {
    if (c == L'/') c = L'\\';
  }
}

void FilePath::UseFullPath(std::wstring_view fullPath) { native_.assign(fullPath); }

std::wstring_view CurrentFolder(wchar_t (&room)[kCurrentFolderRoom]) noexcept {
  DWORD length = GetCurrentDirectoryW(kCurrentFolderRoom, room);
  return length > 0 && length < kCurrentFolderRoom ? std::wstring_view(room, length) : std::wstring_view();
}

// A path from "\" takes the current folder's drive: always the current folder.
std::wstring_view ResolvingFolder(std::wstring_view, wchar_t (&room)[kCurrentFolderRoom]) noexcept {
  return CurrentFolder(room);
}

Existence TestExistence(const FilePath& path, std::string& error) {
  if (path.Native().empty()) return Existence::kMissing;
  if (GetFileAttributesW(path.Native().c_str()) != INVALID_FILE_ATTRIBUTES) {
    return Existence::kExists;
  }
  DWORD code = GetLastError();
  if (IsNotFound(code)) return Existence::kMissing;
  error = SystemMessage(code);
  return Existence::kUnknown;
}

void OpenTextInput(std::ifstream& stream, const FilePath& path) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native().c_str(), std::ios::in);
}

void OpenBinaryInput(std::ifstream& stream, const FilePath& path) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native().c_str(), std::ios::in | std::ios::binary);
}

void OpenBinaryOutput(std::ofstream& stream, const FilePath& path, std::ios::openmode mode) {
  stream.exceptions(std::ios::badbit);
  stream.open(path.Native().c_str(), mode | std::ios::out | std::ios::binary);
}

void ClearFileError() noexcept {
  SetLastError(ERROR_SUCCESS);
  errno = 0;
}

// The C runtime's write keeps the system's code of a failed WriteFile; errno is what it
// made of it, and the fallback when the system's code is gone.
bool LastFileError(char* text, std::size_t size) noexcept {
  DWORD code = GetLastError();
  int runtimeCode = errno;
  if (size == 0 || (code == ERROR_SUCCESS && runtimeCode == 0)) return false;
  DWORD n = 0;
  if (code != ERROR_SUCCESS) {
    n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, static_cast<DWORD>(size), nullptr);
    while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' ')) text[--n] = '\0';
  }
  if (n == 0 && runtimeCode != 0) {
    std::snprintf(text, size, "%s", std::strerror(runtimeCode));
  } else if (n == 0) {
    std::snprintf(text, size, "system error %lu", static_cast<unsigned long>(code));
  }
  return true;
}

RemoveResult RemoveFile(const FilePath& path, std::string& error) {
  if (DeleteFileW(path.Native().c_str())) return RemoveResult::kRemoved;
  DWORD code = GetLastError();
  if (IsNotFound(code)) return RemoveResult::kMissing;
  error = SystemMessage(code);
  return RemoveResult::kError;
}

}  // namespace qx::platform
