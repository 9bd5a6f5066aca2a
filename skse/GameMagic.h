#pragma once
// Spells, their effect items, magic effects with keywords, and the active effects the game
// makes from them on an actor.
#include <cstddef>
#include <cstdint>

#include "skse/GameActor.h"
#include "skse/GameForms.h"
#include "skse/HostCall.h"

namespace qx::game {

// Members of Actor (this = the actor; one stack argument, the spell; callee pops).
inline constexpr host::Address kActorHasSpell = 0x006EAF10;     // -> bool
inline constexpr host::Address kActorRemoveSpell = 0x006EAFE0;
inline constexpr host::Address kActorAddSpell = 0x006EC120;     // makes the spell's active effects
// Member of Actor (this = the actor; modifier kind, actor value index) -> float in ST0.
inline constexpr host::Address kActorGetAVModifier = 0x006DE980;
inline constexpr std::uint32_t kModifier_Temporary = 1;

// The game's pick of the magic effect whose artwork a magic item shows: a member of the
// item in ecx, the chosen magic effect back in eax, ecx left holding the item. The pick is
// called at kArtPickCallSite (five bytes); the game goes on at kArtPickCallResume.
inline constexpr host::Address kArtPickCallSite = 0x006689CA;
inline constexpr host::Address kArtPickCallee = 0x00406C70;
inline constexpr host::Address kArtPickCallResume = 0x006689CF;
inline constexpr host::PatchSpan kArtPickCallSpan{kArtPickCallSite, kArtPickCallResume, {}};

struct BGSKeyword : TESForm {};

// The keyword list embedded in forms that carry keywords.
struct BGSKeywordForm {
  void* vtable;              // 00 slot 4: HasKeyword(BGSKeyword*) -> bool
  BGSKeyword** keywords;     // 04
  std::uint32_t numKeywords; // 08
};
static_assert(offsetof(BGSKeywordForm, keywords) == 0x04);
static_assert(offsetof(BGSKeywordForm, numKeywords) == 0x08);
inline constexpr unsigned kKeywordFormSlot_HasKeyword = 4;

// A magic effect (the game's effect setting form).
struct EffectSetting : TESForm {
  std::uint8_t unk10[0x24 - 0x10];  // 10
  BGSKeywordForm keywordForm;       // 24 keywords at 0x28, their count at 0x2C
};
static_assert(offsetof(EffectSetting, keywordForm) == 0x24);
static_assert(offsetof(EffectSetting, keywordForm) + offsetof(BGSKeywordForm, keywords) == 0x28);
static_assert(offsetof(EffectSetting, keywordForm) + offsetof(BGSKeywordForm, numKeywords) == 0x2C);

// One entry of a magic item's effect list.
struct EffectItem {
  float magnitude;            // 00
  std::uint32_t area;         // 04
  std::uint32_t duration;     // 08
  EffectSetting* mgef;        // 0C
  std::uint32_t unk10;        // 10
  std::uint32_t entryId;      // 14 tells two effect items apart
};
static_assert(offsetof(EffectItem, area) == 0x04);
static_assert(offsetof(EffectItem, duration) == 0x08);
static_assert(offsetof(EffectItem, mgef) == 0x0C);
static_assert(offsetof(EffectItem, entryId) == 0x14);

// A magic item such as a spell.
struct MagicItem : TESForm {
  std::uint8_t unk10[0x34 - 0x10];  // 10
  EffectItem** effects;             // 34
  std::uint32_t unk38;              // 38
  std::uint32_t numEffects;         // 3C
};
static_assert(offsetof(MagicItem, effects) == 0x34);
static_assert(offsetof(MagicItem, numEffects) == 0x3C);

struct SpellItem : MagicItem {
  std::uint8_t unk40[0x74 - 0x40];  // 40
  std::uint32_t spellType;          // 74 4 = ability
};
static_assert(offsetof(SpellItem, spellType) == 0x74);
inline constexpr std::uint32_t kSpellType_Ability = 4;

struct ActiveEffect {
  void* vtable;                     // 00
  std::uint8_t unk04[0x30 - 0x04];  // 04
  MagicItem* item;                  // 30 the spell that made it
  EffectItem* effect;               // 34 the effect item it was made from
  std::uint8_t unk38[0x4C - 0x38];  // 38
  float duration;                   // 4C
  float magnitude;                  // 50
  std::uint32_t flags;              // 54
};
static_assert(offsetof(ActiveEffect, item) == 0x30);
static_assert(offsetof(ActiveEffect, effect) == 0x34);
static_assert(offsetof(ActiveEffect, duration) == 0x4C);
static_assert(offsetof(ActiveEffect, magnitude) == 0x50);
static_assert(offsetof(ActiveEffect, flags) == 0x54);
inline constexpr std::uint32_t kActiveEffectFlag_Ignored = 0x00040000;

// The actor's active effects: a singly linked list whose head node lives in the list.
struct ActiveEffectNode {
  ActiveEffect* item;      // 00 null ends the list
  ActiveEffectNode* next;  // 04
};
static_assert(sizeof(ActiveEffectNode) == 8);

// The magic-target part of an Actor, at 0x54; slot 7 returns the head node or null.
inline constexpr std::size_t kActorMagicTargetOffset = 0x54;
static_assert(offsetof(Actor, magicTarget) == kActorMagicTargetOffset);
inline constexpr unsigned kMagicTargetSlot_ActiveEffects = 7;

// Calling forms of the routines above.
using MagicTargetActiveEffectsFn = ActiveEffectNode* QX_THISCALL(MagicTarget* target);
using KeywordFormHasKeywordFn = bool QX_THISCALL(BGSKeywordForm* form, BGSKeyword* keyword);
using ActorHasSpellFn = bool QX_THISCALL(Actor* actor, SpellItem* spell);
using ActorRemoveSpellFn = bool QX_THISCALL(Actor* actor, SpellItem* spell);
using ActorAddSpellFn = bool QX_THISCALL(Actor* actor, SpellItem* spell);
using ActorGetAVModifierFn = float QX_THISCALL(Actor* actor, std::uint32_t kind, std::uint32_t index);

}  // namespace qx::game
