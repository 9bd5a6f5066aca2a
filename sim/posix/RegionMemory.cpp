#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/GameRegion.h"

namespace sim {

void MapRegionMemory(std::uintptr_t begin, std::size_t size) {
  void* at = mmap(reinterpret_cast<void*>(begin), size, PROT_READ | PROT_WRITE,
                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (at != reinterpret_cast<void*>(begin)) {
    std::fprintf(stderr, "sim: cannot map the game region at %08zX\n", static_cast<std::size_t>(begin));
    std::abort();
  }
}

void ProtectRegion(std::uintptr_t begin, std::size_t size, bool writable, bool executable) {
  int protection = PROT_READ | (writable ? PROT_WRITE : 0) | (executable ? PROT_EXEC : 0);
  mprotect(reinterpret_cast<void*>(begin), size, protection);
}

// The protection of the page holding `address`, read from /proc/self/maps as "rwxp" bits:
// r=4, w=2, x=1.
std::uint32_t QueryProtection(std::uintptr_t address) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    unsigned long from = 0, to = 0;
    char perms[5] = {};
    if (std::sscanf(line.c_str(), "%lx-%lx %4s", &from, &to, perms) != 3) continue;
    if (address < from || address >= to) continue;
    return (perms[0] == 'r' ? 4u : 0u) | (perms[1] == 'w' ? 2u : 0u) | (perms[2] == 'x' ? 1u : 0u);
  }
  return 0;
}

}  // namespace sim
