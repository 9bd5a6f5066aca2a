#pragma once
// The plugin's view of a game Actor: the same object at the same address, with the
// accessors the script functions use. It adds no fields and no virtual operations.
#include <cstdint>

#include "skse/GameActor.h"
#include "skse/GameMagic.h"

namespace qxnsSKSE {

class ActorExtended : public qx::game::Actor {
 public:
  [[nodiscard]] qx::game::FormID FormId() const noexcept { return formID; }

  // Head node of the active-effect list, or null when the actor has no usable list.
  [[nodiscard]] qx::game::ActiveEffectNode* ActiveEffectList() noexcept {
    return qx::host::VirtualSlot<qx::game::MagicTargetActiveEffectsFn>(
        &magicTarget, qx::game::kMagicTargetSlot_ActiveEffects)(&magicTarget);
  }

  [[nodiscard]] bool HasSpell(qx::game::SpellItem* spell) noexcept {
    return qx::host::Routine<qx::game::ActorHasSpellFn>(qx::game::kActorHasSpell)(this, spell);
  }
  void RemoveSpell(qx::game::SpellItem* spell) noexcept {
    qx::host::Routine<qx::game::ActorRemoveSpellFn>(qx::game::kActorRemoveSpell)(this, spell);
  }
  // The game makes the spell's active effects from its effect items as they are now.
  void AddSpell(qx::game::SpellItem* spell) noexcept {
    qx::host::Routine<qx::game::ActorAddSpellFn>(qx::game::kActorAddSpell)(this, spell);
  }

  [[nodiscard]] float GetAVModifier(std::uint32_t kind, std::uint32_t index) noexcept {
    return qx::host::Routine<qx::game::ActorGetAVModifierFn>(qx::game::kActorGetAVModifier)(
        this, kind, index);
  }
};
static_assert(sizeof(ActorExtended) == sizeof(qx::game::Actor));

}  // namespace qxnsSKSE
