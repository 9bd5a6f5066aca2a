#pragma once
// Actor values: looked up by name, read through the actor-value interface in every Actor.
#include <cstdint>

#include "skse/HostCall.h"
#include "skse/PatchSpan.h"

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

// The four calls of the game's own actor-value fraction (a member of the actor in ecx, float
// result in ST0), each five bytes; the resume is the instruction after the call. Two take
// the index in eax and have one argument pushed for the call (the second of them further on
// in the game's code); two measure a fixed actor value.
inline constexpr host::Address kFractionCallSite_IndexInEax = 0x005067DF;
inline constexpr host::Address kFractionCallResume_IndexInEax = 0x005067E4;
inline constexpr host::Address kFractionCallSite_Stamina = 0x00506A0C;
inline constexpr host::Address kFractionCallResume_Stamina = 0x00506A11;
inline constexpr host::Address kFractionCallSite_Health = 0x00506A8C;
inline constexpr host::Address kFractionCallResume_Health = 0x00506A91;
inline constexpr host::Address kFractionCallSite_IndexInEaxSecond = 0x008DA706;
inline constexpr host::Address kFractionCallResume_IndexInEaxSecond = 0x008DA70B;
// Each a five-byte call.
inline constexpr host::PatchSpan kFractionCallSpan_IndexInEax{kFractionCallSite_IndexInEax,
                                                              kFractionCallResume_IndexInEax, {}};
inline constexpr host::PatchSpan kFractionCallSpan_Stamina{kFractionCallSite_Stamina, kFractionCallResume_Stamina, {}};
inline constexpr host::PatchSpan kFractionCallSpan_Health{kFractionCallSite_Health, kFractionCallResume_Health, {}};
inline constexpr host::PatchSpan kFractionCallSpan_IndexInEaxSecond{kFractionCallSite_IndexInEaxSecond,
                                                                    kFractionCallResume_IndexInEaxSecond, {}};

using LookupActorValueByNameFn = std::uint32_t QX_CDECL(const char* name);
using ActorValueReadFn = float QX_THISCALL(void* actorValueInterface, std::uint32_t index);

[[nodiscard]] inline std::uint32_t LookupActorValueByName(const char* name) noexcept {
  return host::Routine<LookupActorValueByNameFn>(kLookupActorValueByName)(name);
}

}  // namespace qx::game
