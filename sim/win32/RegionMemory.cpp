#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "sim/GameRegion.h"

// Wine refuses VirtualAlloc at the game's addresses, so the program image carries the region
// as an uninitialised section that the linker places at 0x00401000.
asm(".section .tesv,\"bwx\"\n"
    "_qxsim_game_region:\n"
    ".space 0x017FF000\n"
    ".text\n");

extern "C" unsigned char qxsim_game_region[] asm("_qxsim_game_region");

namespace sim {

void MapRegionMemory(std::uintptr_t begin, std::size_t size) {
  if (reinterpret_cast<std::uintptr_t>(qxsim_game_region) != begin) {
    std::fprintf(stderr, "sim: the game region section is at %p, not %08X\n",
                 static_cast<void*>(qxsim_game_region), static_cast<unsigned>(begin));
    std::abort();
  }
  ProtectRegion(begin, size, true, true);
}

void ProtectRegion(std::uintptr_t begin, std::size_t size, bool writable, bool executable) {
  DWORD protection = executable ? (writable ? PAGE_EXECUTE_READWRITE : PAGE_EXECUTE_READ)
                                : (writable ? PAGE_READWRITE : PAGE_READONLY);
  DWORD old = 0;
  VirtualProtect(reinterpret_cast<void*>(begin), size, protection, &old);
}

std::uint32_t QueryProtection(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info));
  return info.Protect;
}

}  // namespace sim
