#include "platform/Files.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
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

void FilePath::UseFullPath(std::wstring&& fullPath) { native_ = std::move(fullPath); }

std::wstring_view CurrentFolder(wchar_t (&room)[kCurrentFolderRoom]) noexcept {
  DWORD length = GetCurrentDirectoryW(kCurrentFolderRoom, room);
  if (length == 0 || length >= kCurrentFolderRoom) return {};
  // Every short name holds a "~": the folder of nearly every call is done here.
  if (std::wmemchr(room, L'~', length) == nullptr) return std::wstring_view(room, length);
  wchar_t longForm[kCurrentFolderRoom];
  DWORD longLength = GetLongPathNameW(room, longForm, kCurrentFolderRoom);
  if (longLength == 0) return std::wstring_view(room, length);  // nothing to lengthen: as given
  if (longLength >= kCurrentFolderRoom) return {};                // does not fit: no folder
  std::wmemcpy(room, longForm, longLength + 1);
  return std::wstring_view(room, longLength);
}

// A path from "\" takes the current folder's drive: always the current folder.
std::wstring_view ResolvingFolder(std::wstring_view, wchar_t (&room)[kCurrentFolderRoom]) noexcept {
  return CurrentFolder(room);
}

namespace {

// GetLongPathNameW of the whole path, the buffer grown as the call asks; empty when it fails.
std::wstring LongFormOf(const std::wstring& path) {
  std::wstring found(path.size() + 1, L'\0');
  for (;;) {
    DWORD length = GetLongPathNameW(path.c_str(), found.data(), static_cast<DWORD>(found.size()));
    if (length == 0) return {};
    if (length < found.size()) {
      found.resize(length);
      return found;
    }
    found.resize(length);  // the size asked for, terminator included
  }
}

}  // namespace

std::wstring LongPathName(std::wstring path) {
  // The longest leading part that exists: a folder about to be created (the game's folder
  // in the documents before the game first runs) keeps its last names as given.
  std::size_t end = path.size();
  for (;;) {
    std::wstring found = LongFormOf(path.substr(0, end));
    if (!found.empty()) return found + path.substr(end);
    std::size_t cut = end == 0 ? std::wstring::npos : path.find_last_of(L"\\/", end - 1);
    if (cut == std::wstring::npos || cut <= 2) return path;  // down to the root: nothing found
    end = cut;
  }
}

std::string ShownPath(std::wstring_view path) {
  if (path.empty()) return {};
  int length = WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string shown(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, path.data(), static_cast<int>(path.size()), shown.data(), length, nullptr, nullptr);
  return shown;
}

Existence TestExistence(const FilePath& path, std::string& error, std::uint64_t* size) {
  if (path.Native().empty()) return Existence::kMissing;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (GetFileAttributesExW(path.Native().c_str(), GetFileExInfoStandard, &data)) {
    if (size != nullptr) *size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
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
