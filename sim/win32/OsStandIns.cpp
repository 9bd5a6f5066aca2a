#include "sim/win32/OsStandIns.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace sim {
namespace {

// As Windows answers: a path that does not fit is cut to the buffer, terminator included,
// and the result is the buffer's size with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GameModuleFileName(HMODULE module, LPSTR buffer, DWORD size) {
  if (module != nullptr) return GetModuleFileNameA(module, buffer, size);
  const std::string& path = OsStandIns::gameExecutable;
  if (size == 0) return 0;
  if (path.size() < size) {
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(buffer, path.data(), size - 1);
  buffer[size - 1] = '\0';
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

// The documents folder fills a buffer of MAX_PATH characters; one that does not fit fails.
HRESULT WINAPI GameShellFolderPath(HWND, int folder, HANDLE, DWORD, LPSTR path) {
  constexpr int kPersonal = 5;
  if (folder != kPersonal || !OsStandIns::documentsAvailable) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return E_FAIL;
  }
  const std::string& docs = OsStandIns::documentsFolder;
  if (docs.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return E_FAIL;
  }
  std::memcpy(path, docs.c_str(), docs.size() + 1);
  return S_OK;
}

// The C runtime's thread start, refused on request as when the system is out of resources.
std::uintptr_t __cdecl GameBeginThread(void* security, unsigned stackSize, unsigned(__stdcall* start)(void*),
                                       void* argument, unsigned flags, unsigned* id) {
  if (OsStandIns::threadsRefused) {
    errno = EAGAIN;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  return _beginthreadex(security, stackSize, start, argument, flags, id);
}

// The C runtime's write: a regular file grows to the limit and no further; what does not
// fit fails as the runtime reports a full disk.
int __cdecl GameWrite(int fd, const void* data, unsigned count) {
  std::uint32_t limit = OsStandIns::fileSizeLimit;
  struct _stat64 info;
  if (limit == 0 || _fstat64(fd, &info) != 0 || (info.st_mode & _S_IFREG) == 0) return _write(fd, data, count);
  long long room = static_cast<long long>(limit) - info.st_size;
  if (room <= 0) {
    errno = ENOSPC;
    SetLastError(ERROR_DISK_FULL);
    return -1;
  }
  // In text mode each line feed reaches the disk as CR LF: count what lands on the disk.
  int mode = _setmode(fd, _O_BINARY);
  _setmode(fd, mode);
  bool text = (mode & _O_TEXT) != 0;
  const auto* bytes = static_cast<const char*>(data);
  unsigned fits = 0;
  for (long long used = 0; fits < count; ++fits) {
    used += text && bytes[fits] == '\n' ? 2 : 1;
    if (used > room) break;
  }
  if (fits == 0) {
    errno = ENOSPC;
    SetLastError(ERROR_DISK_FULL);
    return -1;
  }
  return _write(fd, data, fits);
}

void Redirect(void** slot, void* standIn) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
  *slot = standIn;
  VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

void OsStandIns::HookImports(HMODULE plugin) {
  auto* base = reinterpret_cast<std::uint8_t*>(plugin);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return;
  for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       desc->Name != 0; ++desc) {
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA32*>(
        base + (desc->OriginalFirstThunk != 0 ? desc->OriginalFirstThunk : desc->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA32*>(base + desc->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL32(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      auto* slot = reinterpret_cast<void**>(&slots->u1.Function);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      if (std::strcmp(name, "GetModuleFileNameA") == 0) {
        Redirect(slot, reinterpret_cast<void*>(&GameModuleFileName));
      } else if (std::strcmp(name, "SHGetFolderPathA") == 0) {
        Redirect(slot, reinterpret_cast<void*>(&GameShellFolderPath));
      } else if (std::strcmp(name, "_beginthreadex") == 0) {
        Redirect(slot, reinterpret_cast<void*>(&GameBeginThread));
      } else if (std::strcmp(name, "_write") == 0) {
        Redirect(slot, reinterpret_cast<void*>(&GameWrite));
      }
    }
  }
}

}  // namespace sim
