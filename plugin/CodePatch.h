#pragma once
// Writes into the game's code: single bytes and words around the page protection, and the
// five-byte relative branch (opcode, then target - (site + 5)) that every patch uses.
#include <cstdint>

namespace qx {

void WriteCode(std::uintptr_t address, std::uint8_t value);
void WriteCode(std::uintptr_t address, std::uint32_t value);
// opcode 0xE8 (call) or 0xE9 (jmp) at `site`, the displacement to `target` after it.
void WriteRelBranch(std::uintptr_t site, std::uint8_t opcode, std::uintptr_t target);

}  // namespace qx
