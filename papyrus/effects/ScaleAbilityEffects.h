#pragma once
// QXAEUtil.ScaleAbilityEffects: re-applies an ability to an actor with its effects'
// magnitudes, areas and durations scaled by script rules, optionally as a stack counted in
// the spell's first effect. The spell's own effect items are changed only while the spell is
// added back, so the scaled values end up only in the actor's new active effects; calls from
// several script threads take turns for that part.
#include <cstdint>
#include <optional>

#include "papyrus/effects/ScriptNumber.h"
#include "skse/ActorExtended.h"

namespace qx::papyrus {

// One component's rules: entry j of `types` and `operands` scales effect j (or j + 1 for a
// stackable spell, whose effect 0 holds the count). Null arrays stand for none.
struct ScalingRules {
  const ScriptNumbers* types = nullptr;
  const ScriptNumbers* operands = nullptr;
};

inline constexpr std::uint32_t kScaleType_Keep = 0xFFFFFFFF;  // -1: leave the component alone
inline constexpr std::uint32_t kScaleType_Last = 13;

// The new value of one component by scaling type `type` from `current`, given the options'
// extra operand E and the rule's operand V (either may be missing); `up` scales up (stack
// added or no stack), `first` marks a first application. None for a type above 13.
[[nodiscard]] std::optional<float> ScaleByType(std::uint32_t type, float current,
                                               std::optional<float> extra,
                                               std::optional<float> operand, bool up, bool first) noexcept;

// Called by a call that finds another one changing a spell's effect items, just before it
// waits for it; tests use it to order two calls.
inline void (*gOnScalingBusy)() = nullptr;

// True on every rejected call; otherwise whether removing a stack emptied it.
bool ScaleAbilityEffects(qxnsSKSE::ActorExtended* actor, game::SpellItem* spell,
                         const ScriptNumbers* options, ScalingRules magnitude, ScalingRules area,
                         ScalingRules duration);

}  // namespace qx::papyrus
