#include "fixes/HealthGating.h"

#include <chrono>
#include <cmath>

#include "fixes/AVPercentFix.h"
#include "plugin/ProjectIni.h"
#include "skse/GameActorValues.h"
#include "skse/GameGlobals.h"

namespace qx {

// Never destroyed: the cleanup thread is detached and may be inside a pass (or stopped
// holding the lock) while the process ends and runs its destructors.
ActorTimestamps& ImmunityTable = *new ActorTimestamps;
ActorTimestamps& GatingWindowTable = *new ActorTimestamps;
std::mutex& gGatingLock = *new std::mutex;

Timestamp WallClockMillis() noexcept {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

Timestamp Plus(Timestamp stamp, std::uint32_t millis) {
  return stamp + static_cast<Timestamp>(millis);
}

// The hit that leaves the victim at `resulthealthpercent` of its effective maximum, or no
// change when it is already at or below that.
float GatedChange(game::Actor* victim, const ProjectIni& settings) {
  float current = victim->actorValues.Read(game::kActorValueSlot_Current, game::kActorValue_Health);
  float maximum = EffectiveMaximum(victim, game::kActorValue_Health);
  float above = current - maximum * settings.hgResultHealthPercent;
  return -(above > 0.0f ? above : 0.0f);
}

bool IsImmune(const game::Actor* victim, Timestamp now, std::uint32_t immunityMillis) {
  std::lock_guard<std::mutex> lock(gGatingLock);
  auto found = ImmunityTable.find(victim);
  return found != ImmunityTable.end() && now <= Plus(found->second, immunityMillis);
}

// Marks the victim immune from `now`, unless another hit did so first and that immunity
// still holds: then this hit lost the race and is treated as one on an immune victim.
bool TakeImmunity(const game::Actor* victim, Timestamp now, std::uint32_t immunityMillis) {
  std::lock_guard<std::mutex> lock(gGatingLock);
  auto [entry, inserted] = ImmunityTable.try_emplace(victim, now);
  if (inserted) return true;
  if (now <= Plus(entry->second, immunityMillis)) return false;
  entry->second = now;
  return true;
}

}  // namespace

bool CountsAsPlayer(const game::Actor* actor) noexcept {
  const auto* player = host::Global<game::Actor*>(game::kPlayerCharacterSingleton);
  if (actor == nullptr || player == nullptr) return false;
  if (actor->baseForm == nullptr || player->baseForm == nullptr) return false;
  return actor->baseForm->formID == player->baseForm->formID;
}

bool ShouldGate(game::Actor* victim, game::Actor* attacker, float change,
                game::ActiveEffect* effect, Timestamp now) noexcept {
  const ProjectIni* settings = gHealthGatingSettings;
  if (settings == nullptr) return false;
  if (!(change < 0.0f)) return false;
  if (victim == nullptr) return false;
  if (attacker == victim) return false;
  if (effect != nullptr ? !settings->hgEnableMagic : !settings->hgEnablePhysical) return false;
  if (settings->hgForMainPlayerOnly && !CountsAsPlayer(victim)) return false;
  if (CountsAsPlayer(attacker)) return false;

  float size = std::fabs(effect != nullptr ? effect->magnitude : change);
  float health = victim->actorValues.Read(game::kActorValueSlot_Current, game::kActorValue_Health);

  if (attacker != nullptr) {
    if (settings->hgRequireBelowAttackerHealth &&
        !(ComputeAVPercent(attacker, game::kActorValue_Health) < settings->hgAttackerHealthPercent)) {
      return false;
    }
    if (settings->hgRequireBelowAttackerStamina) {
      std::uint32_t index = effect != nullptr && settings->hgSwapAttackerStaminaMagicka
                                ? game::kActorValue_Magicka
                                : game::kActorValue_Stamina;
      if (!(ComputeAVPercent(attacker, index) < settings->hgAttackerStaminaPercent)) return false;
    }
  }

  // Read through the game before the lock is taken; the lock covers only the window table.
  bool aboveFloor = ComputeAVPercent(victim, game::kActorValue_Health) >= settings->hgMinHealthPercent;
  bool lethal = !(health > size);
  std::uint32_t window = settings->hgGatingWindowMillis;

  std::lock_guard<std::mutex> lock(gGatingLock);
  auto open = GatingWindowTable.find(victim);
  if (open != GatingWindowTable.end() && now > Plus(open->second, window)) {
    GatingWindowTable.erase(open);
    open = GatingWindowTable.end();
  }
  if (!lethal) {
    if (open == GatingWindowTable.end() && aboveFloor) GatingWindowTable.emplace(victim, now);
    return false;
  }
  if (aboveFloor) return true;
  // Only an open window can be left here: an expired one was removed above.
  return open != GatingWindowTable.end();
}

extern "C" float GateHealthChange(game::Actor* victim, float change, game::Actor* attacker,
                                  void* source) noexcept {
  const ProjectIni* settings = gHealthGatingSettings;
  if (settings == nullptr) return change;
  Timestamp now = gGatingClock();
  std::uint32_t immunityMillis = settings->hgImmunityTimeMillis;
  bool immune = IsImmune(victim, now, immunityMillis);
  bool magic = source != nullptr && source != attacker && source != victim;

  // The game's values are read between the two locked steps; a hit on the same victim on
  // another thread may decide to gate meanwhile, and only one of them takes the immunity.
  if (!magic) {
    if (immune) return 0.0f;
    if (!ShouldGate(victim, attacker, change, nullptr, now)) return change;
    if (!TakeImmunity(victim, now, immunityMillis)) return 0.0f;
    return GatedChange(victim, *settings);
  }

  auto* effect = static_cast<game::ActiveEffect*>(source);
  float gated = 0.0f;
  if (!immune) {
    if (!ShouldGate(victim, attacker, change, effect, now)) return change;
    if (TakeImmunity(victim, now, immunityMillis)) gated = GatedChange(victim, *settings);
  }
  // The effect's magnitude is the whole hit; this call's change may be a share of it.
  float magnitude = effect->magnitude;
  effect->magnitude = gated;
  if (magnitude == change || magnitude == 0.0f) return gated;
  return gated / (magnitude / change);
}

std::size_t TrimImmunityTable(Timestamp now, std::uint32_t immunityMillis,
                              std::vector<const game::Actor*>& expired) {
  std::lock_guard<std::mutex> lock(gGatingLock);
  for (const auto& [actor, stamp] : ImmunityTable) {
    if (now - stamp >= static_cast<Timestamp>(immunityMillis)) expired.push_back(actor);
  }
  for (const game::Actor* actor : expired) ImmunityTable.erase(actor);
  std::size_t removed = expired.size();
  expired.clear();
  return removed;
}

}  // namespace qx
