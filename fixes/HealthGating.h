#pragma once
// Health gating: a hit that would kill a healthy actor leaves it at a set fraction of its
// health instead, and the actor then ignores health changes for a short immunity time.
#include <cstdint>
#include <mutex>

#include "common/OpenAddressTable.h"
#include "skse/GameActor.h"
#include "skse/GameMagic.h"

namespace qx {

class ProjectIni;

// Milliseconds of a clock that only goes forward, from a start of its own: a player setting
// the system clock back must not make gated victims immune for that long.
using Timestamp = std::int64_t;

// Actor -> timestamp. The hit path finds, sets and removes entries without touching the heap;
// a steady fight allocates nothing. The gating lock guards every use.
using ActorTimestamps = OpenAddressTable<const game::Actor*, Timestamp>;

// When each victim's last gated hit was gated.
extern ActorTimestamps& ImmunityTable;
// When each victim's gating window opened.
extern ActorTimestamps& GatingWindowTable;
// Guards both tables: every test-and-change on them, the cleanup's walk and removals.
extern std::mutex& gGatingLock;

// Set by the install step when the patch is written; null keeps every hit unchanged.
inline const ProjectIni* gHealthGatingSettings = nullptr;
inline bool gCleanupThreadRun = false;
inline std::uint64_t gCleanupIntervalMillis = 10000;

// Called when a cleanup batch has taken the gating lock (true) and when it is about to let
// it go (false), when set: benchmarks time the batches with it.
inline void (*gOnCleanupBatch)(bool taken) = nullptr;

using MillisClock = Timestamp (*)() noexcept;
[[nodiscard]] Timestamp SteadyClockMillis() noexcept;
// Where the hit path and the cleanup take "now" from.
inline MillisClock gGatingClock = &SteadyClockMillis;

// The change the game's hit-damage routine is to apply. A source that is neither the
// attacker nor the victim makes a magic hit, and is then the ActiveEffect.
extern "C" [[nodiscard]] float GateHealthChange(game::Actor* victim, float change,
                                                game::Actor* attacker, void* source) noexcept
    asm("qx_gate_health_change");

// Whether this hit is cut down; opens or closes the victim's gating window on the way.
// `effect` is the ActiveEffect of a magic hit, null for a physical one.
[[nodiscard]] bool ShouldGate(game::Actor* victim, game::Actor* attacker, float change,
                              game::ActiveEffect* effect, Timestamp now) noexcept;

// Whether the actor's base form is the player character's base form.
[[nodiscard]] bool CountsAsPlayer(const game::Actor* actor) noexcept;

// One cleanup pass: removes every ImmunityTable entry whose age at `now` reached the
// immunity time. It walks the table in bounded batches, each under the gating lock, and
// pauses between them with the lock released, so that hits never wait for a whole pass
// (200 us per batch on average, slept in the system's granularity: see CleanupPacer).
// Takes nothing from the heap. Returns how many entries were removed.
std::size_t TrimImmunityTable(Timestamp now, std::uint32_t immunityMillis);

// Writes the call (when `healthgating` / `isenabled`), starts the cleanup thread and logs
// the step's line.
void InstallHealthGating(ProjectIni& settings);

}  // namespace qx
