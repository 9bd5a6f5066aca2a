#pragma once
// The game's form-type numbers of the object types scripts exchange with the plugin.
#include <cstdint>

#include "skse/GameActor.h"

namespace qx::game {

struct BGSKeyword;
struct SpellItem;
struct TESObjectBOOK;
struct BGSSoundDescriptorForm;
struct ActiveEffect;

template <typename T>
struct FormTypeOf;  // only object types the script VM knows have one

template <> struct FormTypeOf<BGSKeyword> { static constexpr std::uint32_t value = 0x04; };
template <> struct FormTypeOf<SpellItem> { static constexpr std::uint32_t value = 0x16; };
template <> struct FormTypeOf<TESObjectBOOK> { static constexpr std::uint32_t value = 0x1B; };
template <> struct FormTypeOf<Actor> { static constexpr std::uint32_t value = 0x3E; };
template <> struct FormTypeOf<BGSSoundDescriptorForm> { static constexpr std::uint32_t value = 0x80; };
template <> struct FormTypeOf<ActiveEffect> { static constexpr std::uint32_t value = 0x8B; };

}  // namespace qx::game

namespace qxnsSKSE {
class ActorExtended;  // the plugin's view of an Actor: same object, fetched as an Actor
}  // namespace qxnsSKSE

template <>
struct qx::game::FormTypeOf<qxnsSKSE::ActorExtended> {
  static constexpr std::uint32_t value = 0x3E;
};
