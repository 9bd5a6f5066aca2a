// Interim patch writer: unprotect, store, reprotect, straight on the OS calls.
#include "plugin/CodePatch.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace qx {
namespace {

template <typename T>
void StoreUnprotected(std::uintptr_t address, T value) {
#ifdef _WIN32
  DWORD old = 0;
  VirtualProtect(reinterpret_cast<void*>(address), 4, PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof(value));
  VirtualProtect(reinterpret_cast<void*>(address), 4, old, &old);
#else
  // The game's code pages are read+execute; that is what they go back to.
  std::uintptr_t page = address & ~std::uintptr_t{0xFFF};
  std::size_t span = ((address + 4 + 0xFFF) & ~std::uintptr_t{0xFFF}) - page;
  mprotect(reinterpret_cast<void*>(page), span, PROT_READ | PROT_WRITE | PROT_EXEC);
  std::memcpy(reinterpret_cast<void*>(address), &value, sizeof(value));
  mprotect(reinterpret_cast<void*>(page), span, PROT_READ | PROT_EXEC);
#endif
}

}  // namespace

void WriteCode(std::uintptr_t address, std::uint8_t value) { StoreUnprotected(address, value); }

void WriteCode(std::uintptr_t address, std::uint32_t value) { StoreUnprotected(address, value); }

void WriteRelBranch(std::uintptr_t site, std::uint8_t opcode, std::uintptr_t target) {
  WriteCode(site, opcode);
  WriteCode(site + 1, static_cast<std::uint32_t>(target - (site + 5)));
}

}  // namespace qx
