#include "plugin/CodePatch.h"

#include <cstring>

#include "platform/PageProtection.h"

namespace qx {
namespace {

constexpr std::size_t kProtectedSpan = 4;

void Store(host::Address address, const void* bytes, std::size_t size) {
  platform::PageProtectionChange change = platform::MakeWritable(address, kProtectedSpan);
  std::memcpy(reinterpret_cast<void*>(address), bytes, size);
  platform::RestoreProtection(change);
}

}  // namespace

void WriteCode(host::Address address, std::uint8_t value) { Store(address, &value, sizeof value); }

void WriteCode(host::Address address, std::uint32_t value) { Store(address, &value, sizeof value); }

void WriteRelBranchDisplacement(host::Address site, std::uint8_t opcode,
                                std::uint32_t displacement) {
  WriteCode(site, opcode);
  WriteCode(site + 1, displacement);
}

void WriteRelBranch(host::Address site, std::uint8_t opcode, host::Address target) {
  WriteRelBranchDisplacement(site, opcode, RelBranchDisplacement(site, target));
}

}  // namespace qx
