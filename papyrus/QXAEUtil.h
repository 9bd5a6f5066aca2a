#pragma once
// Script class QXAEUtil: an actor's active magic effects, read from its active-effect list,
// and abilities re-applied with scaled effects (papyrus/effects/ScaleAbilityEffects.h).
#include <cstdint>
#include <vector>

#include "skse/ActorExtended.h"
#include "skse/NativeFunction.h"

namespace qx::papyrus {

// Active effects up to, not including, the first null item; 0 without actor or list.
[[nodiscard]] std::uint32_t GetNumActiveEffects(qxnsSKSE::ActorExtended* actor) noexcept;
// The effect at `index` of the counted part, or null (a negative index is a huge one).
[[nodiscard]] game::ActiveEffect* GetNthActiveEffect(qxnsSKSE::ActorExtended* actor,
                                                     std::int32_t index) noexcept;
// The counted effects in list order; empty (none to the script) without actor or list.
[[nodiscard]] std::vector<game::ActiveEffect*> GetAllActiveEffects(qxnsSKSE::ActorExtended* actor);
// Effects anywhere in the list whose magic effect carries `keyword`.
[[nodiscard]] std::uint32_t GetEffectKeywordCount(qxnsSKSE::ActorExtended* actor,
                                                  game::BGSKeyword* keyword) noexcept;

// The class's functions as scripts see them, in registration order, and the Papyrus
// registration callback.
[[nodiscard]] const NativeClassDef& QXAEUtilClass();
bool RegisterQXAEUtil(ScriptRegistry* registry);

}  // namespace qx::papyrus
