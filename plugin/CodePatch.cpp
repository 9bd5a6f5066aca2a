#include "plugin/CodePatch.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace qx {
namespace {

// Makes the bytes writable, copies them, and puts the game's protection back.
void WriteProtected(std::uintptr_t address, const void* bytes, std::size_t size) {
#ifdef _WIN32
  DWORD old = 0;
  VirtualProtect(reinterpret_cast<void*>(address), size, PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(reinterpret_cast<void*>(address), bytes, size);
  VirtualProtect(reinterpret_cast<void*>(address), size, old, &old);
#else
  std::uintptr_t page = address & ~std::uintptr_t{0xFFF};
  std::size_t span = ((address + size + 0xFFF) & ~std::uintptr_t{0xFFF}) - page;
  mprotect(reinterpret_cast<void*>(page), span, PROT_READ | PROT_WRITE | PROT_EXEC);
  std::memcpy(reinterpret_cast<void*>(address), bytes, size);
  mprotect(reinterpret_cast<void*>(page), span, PROT_READ | PROT_EXEC);
#endif
}

}  // namespace

void WriteCode(std::uintptr_t address, std::uint8_t value) {
  WriteProtected(address, &value, sizeof(value));
}

void WriteCode(std::uintptr_t address, std::uint32_t value) {
  WriteProtected(address, &value, sizeof(value));
}

void WriteRelBranch(std::uintptr_t site, std::uint8_t opcode, std::uintptr_t target) {
  WriteCode(site, opcode);
  WriteCode(site + 1, static_cast<std::uint32_t>(target - (site + 5)));
}

}  // namespace qx
