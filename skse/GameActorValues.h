#pragma once
// Actor values: looked up by name, read through the actor-value interface in every Actor.
#include <cstdint>

#include "skse/HostCall.h"

namespace qx::game {

inline constexpr host::Address kLookupActorValueByName = 0x005AD5F0;  // cdecl (const char*) -> index

inline constexpr std::uint32_t kActorValueCount = 164;  // indices 0..163; more = not found
inline constexpr std::uint32_t kActorValue_Health = 24;
inline constexpr std::uint32_t kActorValue_Magicka = 25;
inline constexpr std::uint32_t kActorValue_Stamina = 26;

// Virtual slots of the actor-value interface (this = the interface, one index argument,
// float result in ST0, callee pops).
inline constexpr unsigned kActorValueSlot_Current = 1;
inline constexpr unsigned kActorValueSlot_BaseMaximum = 2;  // maximum without the temporary modifier

using LookupActorValueByNameFn = std::uint32_t QX_CDECL(const char* name);
using ActorValueReadFn = float QX_THISCALL(void* actorValueInterface, std::uint32_t index);

[[nodiscard]] inline std::uint32_t LookupActorValueByName(const char* name) noexcept {
  return host::Routine<LookupActorValueByNameFn>(kLookupActorValueByName)(name);
}

}  // namespace qx::game
