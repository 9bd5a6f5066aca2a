#pragma once
// Bashes that last: where the game resets an actor's 4-bit state on an animation event, the
// bash state (6) is kept until the event "bashStop".
#include "skse/GameActor.h"
#include "skse/GameStrings.h"

namespace qx {

class ProjectIni;

extern "C" void FilterBashStateReset(game::Actor* actor, const StringCache::Ref* eventName) noexcept
    asm("qx_filter_bash_state_reset");

// Writes both jumps; logs "QX Inject: bash bug fix loaded".
void InstallBashBugFix(ProjectIni& settings);

}  // namespace qx
