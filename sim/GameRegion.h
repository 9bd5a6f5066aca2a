#pragma once
// The game's code and data region at its fixed addresses 0x00401000..0x01C00000. Host
// routines are placed in it as jumps to C++ stand-ins, host globals live in it, and the
// plugin patches it as it patches the game.
#include <cstdint>
#include <cstring>
#include <vector>

#include "skse/GameImage.h"

namespace sim {

inline constexpr std::uintptr_t kGameRegionBegin = 0x00401000;
inline constexpr std::uintptr_t kGameCodeEnd = 0x01000000;  // code below, data above
inline constexpr std::uintptr_t kGameRegionEnd = 0x01C00000;
static_assert(kGameRegionBegin == qx::game::kGameImageBegin && kGameRegionEnd == qx::game::kGameImageEnd,
              "the plugin takes the simulated region for the game's image");

// Makes the region exist, all of it readable and writable. Idempotent.
void MapGameRegion();
// Makes the code part read-and-execute, as the game's code pages are, and remembers its
// bytes so that later writes can be listed by PatchedSites.
void SealGameCode();

// Writes bytes into the region whatever the page protection, restoring it afterwards.
void WriteGameBytes(std::uintptr_t address, const void* bytes, std::size_t size);
// Places a host routine: a jmp rel32 at `address` into a stand-in of the same convention.
void PlaceRoutine(std::uintptr_t address, const void* standIn);

template <typename T>
[[nodiscard]] T& GameGlobal(std::uintptr_t address) {
  return *reinterpret_cast<T*>(address);
}

// A five-byte branch written over the sealed code.
struct PatchedSite {
  std::uintptr_t site;
  std::uint8_t opcode;     // 0xE8 call, 0xE9 jmp, or whatever else was written
  std::int32_t displacement;
  [[nodiscard]] std::uintptr_t Target() const { return site + 5 + displacement; }
};
// Exchanges the code at `address` with the game's own bytes there (as sealed, with the
// simulated game's later writes): a first call lets the game's code run under a patch, a
// second puts the patch back. Not a write of the game's: nothing is remembered.
void SwapWithSealedCode(std::uintptr_t address, std::size_t size);

// Every place where the code part differs from its bytes at SealGameCode, in address order.
[[nodiscard]] std::vector<PatchedSite> PatchedSites();

// Page protection of the code at `address`, in the platform's own terms.
[[nodiscard]] std::uint32_t CodeProtection(std::uintptr_t address);

// Platform part: reserve the region; change protection of a range.
void MapRegionMemory(std::uintptr_t begin, std::size_t size);
void ProtectRegion(std::uintptr_t begin, std::size_t size, bool writable, bool executable);
[[nodiscard]] std::uint32_t QueryProtection(std::uintptr_t address);

}  // namespace sim
