#pragma once
// The sound object the game places relative to a reference position, and that site.
#include <cstddef>
#include <cstdint>

#include "skse/HostCall.h"
#include "skse/PatchSpan.h"

namespace qx::game {

struct SoundObject {
  std::uint8_t unk000[0x134];  // 000
  float posX;                  // 134
  float posZ;                  // 138 the vertical component sits between x and y
  float posY;                  // 13C
};
static_assert(offsetof(SoundObject, posX) == 0x134);
static_assert(offsetof(SoundObject, posZ) == 0x138);
static_assert(offsetof(SoundObject, posY) == 0x13C);

struct ReferencePosition {
  float x;  // 0
  float y;  // 4
  float z;  // 8
};
static_assert(offsetof(ReferencePosition, z) == 8);

// esi = sound object, eax = reference position, edi = a float. Eight bytes:
// fld dword [edi]; fsub dword [eax]; fstp dword [esp+0x20].
inline constexpr host::Address kSoundPlacementSite = 0x00BA424A;
inline constexpr host::Address kSoundPlacementResume = 0x00BA4252;
// fld [edi] at the site; fsub [eax]; fstp [esp+0x20].
inline constexpr host::Address kSoundPlacementInstructions[] = {0x00BA424C, 0x00BA424E};
inline constexpr host::PatchSpan kSoundPlacementSpan{kSoundPlacementSite, kSoundPlacementResume,
                                                     kSoundPlacementInstructions};

}  // namespace qx::game
