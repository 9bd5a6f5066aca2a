#pragma once
// Making a few bytes of the game's code writable for one store. The protection found before
// the change is handed back so that exactly it can be put back afterwards.
#include <cstddef>
#include <cstdint>

namespace qx::platform {

// What one change replaced. A short range can straddle two pages, each with its own
// protection; the Windows build keeps only what VirtualProtect reports (the first page's).
struct PageProtectionChange {
  std::uintptr_t address;
  std::size_t size;
  std::uint32_t previous[2];
};

// Makes [address, address + size) readable, writable and executable.
[[nodiscard]] PageProtectionChange MakeWritable(std::uintptr_t address, std::size_t size);
// Puts back the protection that MakeWritable found.
void RestoreProtection(const PageProtectionChange& change);

}  // namespace qx::platform
