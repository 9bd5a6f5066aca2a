#pragma once
// The game's 164 actor values by name, and its lookup routine (cdecl, at 0x005AD5F0).
#include <cstdint>

namespace sim {

// The name of actor value `index` (0..163), or null.
[[nodiscard]] const char* ActorValueName(std::uint32_t index);
// As the game looks names up: case-insensitive; 164 when no actor value has the name.
[[nodiscard]] std::uint32_t LookupActorValue(const char* name);

// How often the game's lookup routine has been called (by the plugin, through its address).
[[nodiscard]] unsigned ActorValueLookupCalls();

void PlaceActorValueNames();

}  // namespace sim
