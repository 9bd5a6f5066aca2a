// mprotect works on whole pages and cannot report what it replaces, so the protection of
// each touched page is read from /proc/self/maps first.
#include "platform/PageProtection.h"

#include <sys/mman.h>

#include <cstdio>

namespace qx::platform {
namespace {

constexpr std::uintptr_t kPageSize = 0x1000;

[[nodiscard]] std::uintptr_t PageOf(std::uintptr_t address) { return address & ~(kPageSize - 1); }

// PROT_* bits of the mapping that holds `address`; none when it is not mapped.
[[nodiscard]] std::uint32_t CurrentProtection(std::uintptr_t address) {
  std::FILE* maps = std::fopen("/proc/self/maps", "r");
  if (maps == nullptr) return PROT_READ | PROT_EXEC;  // what code pages normally are
  std::uint32_t protection = PROT_NONE;
  char line[512];
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long from = 0, to = 0;
    char perms[5] = {};
    if (std::sscanf(line, "%lx-%lx %4s", &from, &to, perms) != 3) continue;
    if (address < from || address >= to) continue;
    protection = (perms[0] == 'r' ? PROT_READ : 0) | (perms[1] == 'w' ? PROT_WRITE : 0) |
                 (perms[2] == 'x' ? PROT_EXEC : 0);
    break;
  }
  std::fclose(maps);
  return protection;
}

void Protect(std::uintptr_t page, std::uint32_t protection) {
  mprotect(reinterpret_cast<void*>(page), kPageSize, static_cast<int>(protection));
}

}  // namespace

PageProtectionChange MakeWritable(std::uintptr_t address, std::size_t size) {
  std::uintptr_t first = PageOf(address);
  std::uintptr_t last = PageOf(address + (size == 0 ? 0 : size - 1));
  PageProtectionChange change{address, size, {CurrentProtection(first), CurrentProtection(last)}};
  Protect(first, PROT_READ | PROT_WRITE | PROT_EXEC);
  if (last != first) Protect(last, PROT_READ | PROT_WRITE | PROT_EXEC);
  return change;
}

void RestoreProtection(const PageProtectionChange& change) {
  std::uintptr_t first = PageOf(change.address);
  std::uintptr_t last = PageOf(change.address + (change.size == 0 ? 0 : change.size - 1));
  Protect(first, change.previous[0]);
  if (last != first) Protect(last, change.previous[1]);
}

}  // namespace qx::platform
