#pragma once
// The game's code at the eight places the gameplay fixes patch, as the game has it there
// before any patch: a test enters a site with the registers and stack the game has there
// (sim::RunSite) and catches control at the site's resume address.
//
//   0x005067DF  call <fraction of actor value>      ecx actor, eax index, one argument pushed
//   0x00506A0C  call <stamina fraction>             ecx actor
//   0x00506A8C  call <health fraction>              ecx actor
//   0x008DA706  call <fraction of actor value>      ecx actor, eax index, one argument pushed
//   0x006AC333  mov ecx, esi; call 0x006E0760       esi victim, six arguments pushed
//   0x006B5A39  call 0x004D5230                     the call's stack laid out: actor at +0C,
//                                                   the jump value (double) at +10
//   0x00780D1A  and dword ptr [eax+68h], 0FFFFFFFh  actor at esp+0C (and in eax), event name
//                                                   reference at esp+00
//   0x007807A4  and dword ptr [esi+68h], 0FFFFFFFh  actor in esi, event name reference in edi
//
// The fraction routines stand in for the game's own: current value over the maximum
// without the temporary modifier, a member of the actor (the indexed one pops its argument).
#include <cstdint>

#include "skse/GameActor.h"

namespace sim {

struct FixSite {
  const char* name;
  std::uintptr_t site;
  std::uintptr_t resume;   // first game instruction after the replaced bytes
  std::uint8_t patchOpcode;  // what the plugin writes there
};

inline constexpr FixSite kFixSites[] = {
    {"actor value fraction (index in eax)", 0x005067DF, 0x005067E4, 0xE8},
    {"stamina fraction", 0x00506A0C, 0x00506A11, 0xE8},
    {"health fraction", 0x00506A8C, 0x00506A91, 0xE8},
    {"actor value fraction, second (index in eax)", 0x008DA706, 0x008DA70B, 0xE8},
    {"hit damage", 0x006AC333, 0x006AC33A, 0xE8},
    {"jump value", 0x006B5A39, 0x006B5A3E, 0xE9},
    {"bash reset, actor on the stack", 0x00780D1A, 0x00780D21, 0xE9},
    {"bash reset, actor in esi", 0x007807A4, 0x007807AB, 0xE9},
};

// Where the simulated game keeps its own fraction routines.
inline constexpr std::uintptr_t kGameFractionOfIndex = 0x00506000;
inline constexpr std::uintptr_t kGameFractionOfStamina = 0x00506010;
inline constexpr std::uintptr_t kGameFractionOfHealth = 0x00506020;

void PlaceFixSites();

}  // namespace sim
