#pragma once
// The game's artwork pick: at 0x006689CA the game calls its pick (0x00406C70) with the
// magic item in ecx; the pick answers the magic effect in eax and leaves the item in ecx.
// The simulated site is that call, with the shared resume catcher right after it
// (0x006689CF), so a test runs it with RunSite and sees every register as the game's code
// after the call would.
#include <cstdint>

#include "skse/GameMagic.h"

namespace sim {

inline constexpr std::uintptr_t kArtPickSite = 0x006689CA;
inline constexpr std::uintptr_t kArtPickCallee = 0x00406C70;
inline constexpr std::uintptr_t kArtPickResume = 0x006689CF;

// Writes the site's call and its catcher and places the pick; called while the game's
// routines are placed.
void PlaceArtPickSite();

// What the pick answers from now on.
void SetArtPickAnswer(qx::game::EffectSetting* chosen);

// How the pick was called last: ecx and the two stack words above its return address.
struct ArtPickCall {
  std::uint32_t calls = 0;
  std::uint32_t ecx = 0;
  std::uint32_t stack[2] = {};
};
[[nodiscard]] ArtPickCall LastArtPickCall();

}  // namespace sim
