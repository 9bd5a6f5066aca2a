#pragma once
// The game's artwork pick: at 0x006689CA the game calls its pick (0x00406C70) with the
// magic item in ecx; the pick answers the magic effect in eax and leaves the item in ecx.
// The simulated site is that call followed by a return, so a test can enter it like a
// function and see every register as the game's code after the call would.
#include <cstdint>

#include "skse/GameMagic.h"

namespace sim {

inline constexpr std::uintptr_t kArtPickSite = 0x006689CA;
inline constexpr std::uintptr_t kArtPickCallee = 0x00406C70;

// Writes the site's call and places the pick; called while the game's routines are placed.
void PlaceArtPickSite();

struct ArtPickRun {
  std::uint32_t eax, ebx, ecx, edx, esi, edi, ebp;
  bool stackKept;        // esp after the site as before it
  bool pickSawTheCall;   // the pick saw the stack and ecx of the game's own call
};

// Enters the site with `item` in ecx and fixed values in ebx, edx, esi, edi and ebp; the
// pick answers `chosen`.
[[nodiscard]] ArtPickRun RunArtPickSite(const qx::game::MagicItem* item,
                                        qx::game::EffectSetting* chosen);

// The values the site is entered with.
inline constexpr std::uint32_t kArtRunEbx = 0x11111111;
inline constexpr std::uint32_t kArtRunEdx = 0x22222222;
inline constexpr std::uint32_t kArtRunEsi = 0x33333333;
inline constexpr std::uint32_t kArtRunEdi = 0x44444444;
inline constexpr std::uint32_t kArtRunEbp = 0x55555555;

}  // namespace sim
