#pragma once
// Actor value fractions measured against the maximum an actor has now: the game's maximum
// plus the temporary modifier. Four places in the game call ComputeAVPercent instead of
// their own fraction.
#include <cstdint>

#include "skse/GameActor.h"

namespace qx {

class ProjectIni;

// current / (maximum + temporary modifier); 1.0 for a null actor or an effective maximum
// that is not above 0. Not clamped. Called as a plain function from the trampolines.
extern "C" [[nodiscard]] float ComputeAVPercent(game::Actor* actor, std::uint32_t index) noexcept
    asm("qx_compute_av_percent");

// The actor's effective maximum of `index`: the maximum without the temporary modifier plus
// that modifier, in single precision.
[[nodiscard]] float EffectiveMaximum(game::Actor* actor, std::uint32_t index) noexcept;

// Writes the four calls; logs "QX Inject: actor value percentage fix loaded".
void InstallAVPercentFix(ProjectIni& settings);

}  // namespace qx
