#pragma once
// Writing the plugin's branches into the game's code: one store at a time, with the page
// made writable around the store.
#include <cstdint>

namespace qx {

inline constexpr std::uint8_t kOpcode_Call = 0xE8;
inline constexpr std::uint8_t kOpcode_Jump = 0xE9;

void WriteCode(std::uintptr_t address, std::uint8_t value);
void WriteCode(std::uintptr_t address, std::uint32_t value);
// Opcode at `site`, then the 32-bit displacement target - (site + 5) at site + 1.
void WriteRelBranch(std::uintptr_t site, std::uint8_t opcode, std::uintptr_t target);

}  // namespace qx
