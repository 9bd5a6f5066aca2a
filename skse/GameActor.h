#pragma once
// References and actors: the parts of the game's TESObjectREFR and Actor the plugin touches.
#include <cstddef>
#include <cstdint>

#include "skse/GameActorValues.h"
#include "skse/GameForms.h"

namespace qx::game {

// Member of Actor (this = the victim): applies a hit's health change; six stack arguments,
// the third the change (float), the fourth the attacker, the sixth the hit's source.
inline constexpr host::Address kActorApplyHitDamage = 0x006E0760;
// Hands a jump's value on; a member call whose stack holds the jumping actor at +0x0C and
// the value (a double) at +0x10.
inline constexpr host::Address kActorHandleJumpValue = 0x004D5230;

// The hit-damage call: `mov ecx, esi` (esi = the victim), then the call of
// kActorApplyHitDamage with its six arguments pushed; seven bytes in all.
inline constexpr host::Address kHitDamageCallSite = 0x006AC333;
inline constexpr host::Address kHitDamageCallResume = 0x006AC33A;
inline constexpr host::Address kHitDamageCallInstructions[] = {0x006AC335};  // the call
inline constexpr host::PatchSpan kHitDamageCallSpan{kHitDamageCallSite, kHitDamageCallResume,
                                                    kHitDamageCallInstructions};

// The call of kActorHandleJumpValue, its stack laid out.
inline constexpr host::Address kJumpValueCallSite = 0x006B5A39;
inline constexpr host::Address kJumpValueCallResume = 0x006B5A3E;
inline constexpr host::PatchSpan kJumpValueCallSpan{kJumpValueCallSite, kJumpValueCallResume, {}};

// Two seven-byte resets of an actor's 4-bit state (`and dword ptr [reg+0x68], 0x0FFFFFFF`)
// on an animation event: one with the actor at esp+0x0C and the event name's string
// reference at esp+0x00, one with the actor in esi and the reference in edi.
inline constexpr host::Address kStateResetSite_ActorOnStack = 0x00780D1A;
inline constexpr host::Address kStateResetResume_ActorOnStack = 0x00780D21;
inline constexpr host::Address kStateResetSite_ActorInEsi = 0x007807A4;
inline constexpr host::Address kStateResetResume_ActorInEsi = 0x007807AB;
inline constexpr host::PatchSpan kStateResetSpan_ActorOnStack{kStateResetSite_ActorOnStack,
                                                              kStateResetResume_ActorOnStack, {}};
inline constexpr host::PatchSpan kStateResetSpan_ActorInEsi{kStateResetSite_ActorInEsi, kStateResetResume_ActorInEsi,
                                                            {}};

struct TESObjectREFR : TESForm {
  std::uint8_t unk10[0x24 - 0x10];  // 10
  TESForm* baseForm;                // 24
  std::uint8_t unk28[0x34 - 0x28];  // 28
  float posX;                       // 34 world position
  float posY;                       // 38
  float posZ;                       // 3C
};
static_assert(offsetof(TESObjectREFR, baseForm) == 0x24);
static_assert(offsetof(TESObjectREFR, posX) == 0x34);
static_assert(offsetof(TESObjectREFR, posY) == 0x38);
static_assert(offsetof(TESObjectREFR, posZ) == 0x3C);

// The actor-value interface embedded in every Actor: a table pointer, read through its
// virtual slots (kActorValueSlot_...).
struct ActorValueOwner {
  void* vtable;  // 00

  [[nodiscard]] float Read(unsigned slot, std::uint32_t index) const {
    return host::VirtualSlot<ActorValueReadFn>(this, slot)(const_cast<ActorValueOwner*>(this), index);
  }
};

// The magic-target part embedded in every Actor: a table pointer; slot 7 (no arguments)
// returns the head node of the actor's active-effect list, or null.
struct MagicTarget {
  void* vtable;  // 00
};

struct Actor : TESObjectREFR {
  std::uint8_t unk40[0x54 - 0x40];  // 40
  MagicTarget magicTarget;          // 54
  std::uint8_t unk58[0x60 - 0x58];  // 58
  ActorValueOwner actorValues;      // 60
  std::uint32_t unk64;              // 64
  std::uint32_t stateWord;          // 68 bits 28..31: a 4-bit state (6 = bashing)
};
static_assert(offsetof(Actor, magicTarget) == 0x54);
static_assert(offsetof(Actor, actorValues) == 0x60);
static_assert(offsetof(Actor, stateWord) == 0x68);

// The 4-bit state in the top of Actor::stateWord, and its bash state (6).
inline constexpr std::uint32_t kActorStateMask = 0xF0000000;
inline constexpr std::uint32_t kActorState_Bashing = 0x60000000;

}  // namespace qx::game
