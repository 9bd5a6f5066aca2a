#include "patching/CodePatch.h"

#include <cstring>

#include "platform/PageProtection.h"

namespace qx {
namespace {

constexpr std::size_t kProtectedSpan = 4;

WrittenBranch gWrittenBranches[kMaxWrittenBranches];
std::size_t gWrittenBranchCount = 0;

void RememberBranch(host::Address site, std::uint8_t opcode, std::uint32_t displacement) {
  if (gWrittenBranchCount == kMaxWrittenBranches) return;  // the install table fits; see PatchSites
  WrittenBranch& branch = gWrittenBranches[gWrittenBranchCount++];
  branch.site = site;
  branch.bytes[0] = opcode;
  std::memcpy(&branch.bytes[1], &displacement, sizeof displacement);
}

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
  RememberBranch(site, opcode, displacement);
}

void WriteRelBranch(host::Address site, std::uint8_t opcode, host::Address target) {
  WriteRelBranchDisplacement(site, opcode, RelBranchDisplacement(site, target));
}

std::span<const WrittenBranch> WrittenBranches() {
  return {gWrittenBranches, gWrittenBranchCount};
}

}  // namespace qx
