#include "sim/GameplayRoutines.h"

#include "sim/Actors.h"
#include "sim/GameRegion.h"

namespace sim {
namespace {

// Victims in the simulated game are SimActors.
void QX_THISCALL ApplyHitDamage(qx::game::Actor* victim, std::uint32_t first, std::uint32_t second,
                                float change, qx::game::Actor* attacker, std::uint32_t fifth,
                                void* source) {
  HitDamageCalls().push_back({victim, first, second, change, attacker, fifth, source});
  if (victim != nullptr) {
    static_cast<SimActor*>(victim)->currentValue[qx::game::kActorValue_Health] += change;
  }
}

void QX_THISCALL HandleJumpValue(void* self, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                 qx::game::Actor* actor, double value) {
  JumpValueCalls().push_back({self, {a, b, c}, actor, value});
}

}  // namespace

std::vector<HitDamageCall>& HitDamageCalls() {
  static std::vector<HitDamageCall> calls;
  return calls;
}

std::vector<JumpValueCall>& JumpValueCalls() {
  static std::vector<JumpValueCall> calls;
  return calls;
}

void PlaceGameplayRoutines() {
  PlaceRoutine(qx::game::kActorApplyHitDamage, reinterpret_cast<const void*>(&ApplyHitDamage));
  PlaceRoutine(qx::game::kActorHandleJumpValue, reinterpret_cast<const void*>(&HandleJumpValue));
}

}  // namespace sim
