#include "fixes/HealthGating.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "common/IDebugLog.h"
#include "fixes/AVPercentFix.h"
#include "fixes/CleanupPacer.h"
#include "platform/Sleep.h"
#include "settings/ProjectIni.h"
#include "skse/GameActorValues.h"
#include "skse/GameGlobals.h"

namespace qx {

// Never destroyed: the cleanup thread is detached and may be inside a pass (or stopped
// holding the lock) while the process ends and runs its destructors.
ActorTimestamps& ImmunityTable = *new ActorTimestamps(64);
ActorTimestamps& GatingWindowTable = *new ActorTimestamps(64);
std::mutex& gGatingLock = *new std::mutex;

Timestamp SteadyClockMillis() noexcept {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

// Slots a cleanup batch walks at least (then on to the end of the run it is in), and the
// pause each batch owes with the lock released (see CleanupPacer): the lock is held for
// microseconds at a time and for a small share of the pass, so hits on other threads hardly
// ever find it taken.
constexpr std::size_t kCleanupBatchSlots = 256;
constexpr CleanupPacer::Micros kCleanupPauseMicros = 200;
constexpr int kHitSpins = 1000;

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

// A cleanup batch holds the lock for microseconds; a hit that finds it taken waits by
// spinning that long rather than sleeping, which would cost far more than the wait.
std::unique_lock<std::mutex> LockForHit() noexcept {
  for (int spin = 0; spin < kHitSpins; ++spin) {
    if (gGatingLock.try_lock()) return std::unique_lock<std::mutex>(gGatingLock, std::adopt_lock);
    __builtin_ia32_pause();
  }
  return std::unique_lock<std::mutex>(gGatingLock);
}

// A table that could not grow keeps no entry for a hit, which is decided all the same; said
// once a run (never under the gating lock: the log has a lock of its own).
void ReportHitNotRecorded() noexcept {
  static std::atomic<bool> reported{false};
  if (!reported.exchange(true, std::memory_order_relaxed)) {
    LogMessage("QX Health Gating: out of memory; a hit was not recorded");
  }
}

bool IsImmune(const game::Actor* victim, Timestamp now, std::uint32_t immunityMillis) {
  std::unique_lock<std::mutex> lock = LockForHit();
  const Timestamp* stamp = ImmunityTable.find(victim);
  return stamp != nullptr && now <= Plus(*stamp, immunityMillis);
}

// Marks the victim immune from `now`, unless another hit did so first and that immunity
// still holds: then this hit lost the race and is treated as one on an immune victim.
// Without memory to record it, the hit is gated and the victim is not immune.
bool TakeImmunity(const game::Actor* victim, Timestamp now, std::uint32_t immunityMillis) {
  std::unique_lock<std::mutex> lock = LockForHit();
  auto [stamp, inserted] = ImmunityTable.try_emplace(victim, now);
  if (stamp == nullptr) {
    lock.unlock();
    ReportHitNotRecorded();
    return true;
  }
  if (inserted) return true;
  if (now <= Plus(*stamp, immunityMillis)) return false;
  *stamp = now;
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

  std::unique_lock<std::mutex> lock = LockForHit();
  Timestamp* opened = GatingWindowTable.find(victim);
  bool open = opened != nullptr;
  if (open && now > Plus(*opened, window)) {
    GatingWindowTable.erase(victim);
    open = false;
  }
  if (!lethal) {
    if (!open && aboveFloor && GatingWindowTable.try_emplace(victim, now).first == nullptr) {
      lock.unlock();
      ReportHitNotRecorded();
    }
    return false;
  }
  if (aboveFloor) return true;
  // Only an open window can be left here: an expired one was removed above.
  return open;
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

std::size_t TrimImmunityTable(Timestamp now, std::uint32_t immunityMillis) {
  auto isExpired = [&](Timestamp stamp) { return now - stamp >= static_cast<Timestamp>(immunityMillis); };
  std::size_t removed = 0;
  std::size_t slotCount = 0;
  std::size_t slot = 0;
  {
    std::lock_guard<std::mutex> lock(gGatingLock);
    if (const Timestamp* stamp = ImmunityTable.find(nullptr); stamp != nullptr && isExpired(*stamp)) {
      removed += ImmunityTable.erase(nullptr) ? 1 : 0;
    }
    if (ImmunityTable.empty()) return removed;
    slotCount = ImmunityTable.SlotCount();
    // Starting at an empty slot, every batch holds whole runs of occupied slots, so the
    // removals of a batch move only entries of that batch.
    slot = ImmunityTable.EmptySlotFrom(0);
  }
  CleanupPacer pacer(kCleanupPauseMicros, platform::SleepGranularityMicros());
  for (std::size_t walked = 0; walked < slotCount;) {
    if (walked > 0) {
      if (CleanupPacer::Micros due = pacer.AfterBatch(); due > 0) {
        auto start = std::chrono::steady_clock::now();
        platform::SleepMicroseconds(static_cast<std::uint32_t>(due));
        pacer.Slept(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
                        .count());
      } else {
        std::this_thread::yield();  // a hit waiting for the lock takes it now
      }
    }
    std::lock_guard<std::mutex> lock(gGatingLock);
    void (*observer)(bool) = gOnCleanupBatch;
    if (observer != nullptr) observer(true);
    // A hit grew the table meanwhile: its slots moved, and the next pass takes the rest.
    if (ImmunityTable.SlotCount() != slotCount) break;
    // Expired entries are removed where they are found, so a batch needs no memory however
    // many it finds (a table that could not grow is one long run). A removal only moves
    // later entries of the run back, the first into this slot: it is looked at again.
    for (std::size_t batch = 0; walked < slotCount;) {
      if (ImmunityTable.SlotIsEmpty(slot)) {
        if (batch >= kCleanupBatchSlots) break;
      } else if (isExpired(ImmunityTable.SlotValue(slot))) {
        removed += ImmunityTable.erase(ImmunityTable.SlotKey(slot)) ? 1 : 0;
        continue;
      }
      ++batch;
      ++walked;
      slot = (slot + 1) % slotCount;
    }
    if (observer != nullptr) observer(false);
  }
  return removed;
}

}  // namespace qx
