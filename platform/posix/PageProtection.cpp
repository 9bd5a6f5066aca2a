// mprotect works on whole pages and cannot report what it replaces, so the protection of
// each touched page is read from /proc/self/maps first, at every patch: the protections
// change as patches are made.
#include "platform/PageProtection.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/posix/MapsFile.h"

namespace qx::platform {
namespace {

constexpr std::uintptr_t kPageSize = 0x1000;

[[nodiscard]] std::uintptr_t PageOf(std::uintptr_t address) { return address & ~(kPageSize - 1); }

// PROT_* bits of the mapping that holds `address`; none when it is not mapped.
[[nodiscard]] std::uint32_t CurrentProtection(std::uintptr_t address) {
  int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return PROT_READ | PROT_EXEC;  // what code pages normally are
  std::uint32_t protection = ProtectionInMaps(maps, address).value_or(PROT_NONE);
  close(maps);
  return protection;
}

void Protect(std::uintptr_t page, std::uint32_t protection) {
  mprotect(reinterpret_cast<void*>(page), kPageSize, static_cast<int>(protection));
}

}  // namespace

PageProtectionChange MakeWritable(std::uintptr_t address, std::size_t size) {
  std::uintptr_t first = PageOf(address);
  std::uintptr_t last = PageOf(address + (size == 0 ? 0 : size - 1));
  std::uint32_t firstProtection = CurrentProtection(first);
  std::uint32_t lastProtection = last == first ? firstProtection : CurrentProtection(last);
  PageProtectionChange change{address, size, {firstProtection, lastProtection}};
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
