#include "platform/Modules.h"

#include <windows.h>

#include <cstring>

namespace qx::platform {

AddressRange MainModuleImage() {
  auto* base = reinterpret_cast<const std::uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  auto begin = reinterpret_cast<std::uintptr_t>(base);
  return {begin, begin + nt->OptionalHeader.SizeOfImage};
}

bool ModuleFileNameAt(std::uintptr_t address, char (&name)[kMaxPath]) {
  name[0] = '\0';
  HMODULE module = nullptr;
  constexpr DWORD kFlags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExA(kFlags, reinterpret_cast<LPCSTR>(address), &module)) return false;
  char path[kMaxPath];
  DWORD length = GetModuleFileNameA(module, path, kMaxPath);
  if (length == 0 || length >= kMaxPath) return false;
  const char* slash = std::strrchr(path, '\\');
  const char* file = slash != nullptr ? slash + 1 : path;
  std::memcpy(name, file, std::strlen(file) + 1);
  return true;
}

bool ModulePathAt(std::uintptr_t address, std::string& path) {
  HMODULE module = nullptr;
  constexpr DWORD kFlags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExA(kFlags, reinterpret_cast<LPCSTR>(address), &module)) return false;
  // A path that fills the buffer may have been cut: read it again into a larger one.
  for (DWORD room = kMaxPath; room <= 32768 * 2; room *= 2) {
    path.resize(room);
    DWORD length = GetModuleFileNameA(module, path.data(), room);
    if (length == 0) return false;
    if (length < room) {
      path.resize(length);
      return true;
    }
  }
  return false;
}

}  // namespace qx::platform
