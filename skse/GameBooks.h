#pragma once
// Books: what a book teaches (a skill or a spell), whether it has been read, its sounds and
// its display name. The data handler's array of every book is in skse/GameDataHandler.h.
#include <cstddef>
#include <cstdint>

#include "skse/GameForms.h"
#include "skse/GameMagic.h"
#include "skse/HostCall.h"

namespace qx::game {

struct BGSSoundDescriptorForm : TESForm {};

// The name part embedded in named forms; slot 5 (thiscall, no arguments) gives the display
// name as a zero-terminated text.
struct TESFullName {
  void* vtable;  // 00
};
inline constexpr unsigned kFullNameSlot_GetName = 5;
using GetFullNameFn = const char* QX_THISCALL(const TESFullName* self);

struct TESObjectBOOK : TESForm {
  std::uint8_t unk10[0x20 - 0x10];        // 10
  TESFullName fullName;                    // 20
  std::uint8_t unk24[0x80 - 0x24];        // 24
  BGSSoundDescriptorForm* soundUp;         // 80
  BGSSoundDescriptorForm* soundDown;       // 84
  std::uint8_t unk88[0x94 - 0x88];        // 88
  std::uint8_t flags;                      // 94 kBookFlag_...
  std::uint8_t unk95[3];                   // 95
  std::uintptr_t teaches;                  // 98 actor value index (skill) or SpellItem* (spell)

  [[nodiscard]] const char* DisplayName() const noexcept {
    return host::VirtualSlot<GetFullNameFn>(&fullName, kFullNameSlot_GetName)(&fullName);
  }
};
static_assert(offsetof(TESObjectBOOK, fullName) == 0x20);
static_assert(offsetof(TESObjectBOOK, soundUp) == 0x80);
static_assert(offsetof(TESObjectBOOK, soundDown) == 0x84);
static_assert(offsetof(TESObjectBOOK, flags) == 0x94);
static_assert(offsetof(TESObjectBOOK, teaches) == 0x98);

inline constexpr std::uint8_t kBookFlag_TeachesSkill = 0x01;
inline constexpr std::uint8_t kBookFlag_TeachesSpell = 0x04;
inline constexpr std::uint8_t kBookFlag_Read = 0x08;

}  // namespace qx::game
