#pragma once
// The game routines that the gameplay patches call on the game's behalf: the hit-damage
// routine (0x006E0760, member of the victim, six stack arguments) and the routine that takes
// a jump's value (0x004D5230). Each records its calls; the hit-damage routine also applies
// the change to the victim's current health.
#include <cstdint>
#include <vector>

#include "skse/GameActor.h"

namespace sim {

struct HitDamageCall {
  qx::game::Actor* victim;  // ecx
  std::uint32_t first;
  std::uint32_t second;
  float change;
  qx::game::Actor* attacker;
  std::uint32_t fifth;
  void* source;
};

struct JumpValueCall {
  void* self;  // ecx
  std::uint32_t words[3];  // the call's stack below the actor
  qx::game::Actor* actor;
  double value;
};

[[nodiscard]] std::vector<HitDamageCall>& HitDamageCalls();
[[nodiscard]] std::vector<JumpValueCall>& JumpValueCalls();

void PlaceGameplayRoutines();

}  // namespace sim
