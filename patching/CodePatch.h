#pragma once
// Writing the game's code: single stores with the page made writable around each, and the
// five-byte relative call or jump that leads a game site into a trampoline.
#include <cstdint>
#include <span>

#include "skse/HostCall.h"

namespace qx {

inline constexpr std::uint8_t kOpcodeCall = 0xE8;
inline constexpr std::uint8_t kOpcodeJump = 0xE9;
inline constexpr std::uint32_t kRelBranchSize = 5;

// One store, the page writable for it (4 bytes of protection change, also for a byte).
void WriteCode(host::Address address, std::uint8_t value);
void WriteCode(host::Address address, std::uint32_t value);

// The rel32 that makes the branch at `site` land on `target` (wraps for targets below).
[[nodiscard]] constexpr std::uint32_t RelBranchDisplacement(host::Address site,
                                                            host::Address target) {
  return static_cast<std::uint32_t>(target - (site + kRelBranchSize));
}

// The opcode at `site`, then the displacement at site + 1.
void WriteRelBranchDisplacement(host::Address site, std::uint8_t opcode,
                                std::uint32_t displacement);
void WriteRelBranch(host::Address site, std::uint8_t opcode, host::Address target);

// A branch as written into the game, kept so that it can be read back once other plugins
// have had their turn. Written only by Load, on one thread, before anything reads it.
struct WrittenBranch {
  host::Address site;
  std::uint8_t bytes[kRelBranchSize];
};
inline constexpr std::size_t kMaxWrittenBranches = 16;

// Every branch WriteRelBranch and WriteRelBranchDisplacement wrote, in order.
[[nodiscard]] std::span<const WrittenBranch> WrittenBranches();

// The address of a trampoline, as WriteRelBranch takes it.
[[nodiscard]] inline host::Address AddressOf(void (*routine)()) {
  return reinterpret_cast<host::Address>(routine);
}

}  // namespace qx
