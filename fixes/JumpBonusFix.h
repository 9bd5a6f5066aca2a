#pragma once
// The JumpingBonus actor value made to count: a jump's value is multiplied by
// 1 + JumpingBonus / 100 before the game hands it on.
#include "skse/GameActor.h"

namespace qx {

class ProjectIni;

// The jump value scaled by the actor's JumpingBonus; unchanged for a null actor or when the
// game knows no actor value of that name.
extern "C" [[nodiscard]] double ScaleJumpValue(double jumpValue, game::Actor* actor) noexcept
    asm("qx_scale_jump_value");

// Forgets the index of "JumpingBonus", so that the next jump looks it up again: each install
// starts without one (and so does each test).
void ForgetJumpingBonusIndex() noexcept;

// Writes the jump; logs "QX Inject: jump bonus fix loaded".
void InstallJumpBonusFix(ProjectIni& settings);

}  // namespace qx
