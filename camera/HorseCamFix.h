#pragma once
// The game clears a value of the camera state at a fixed place; the horse state keeps it.
#include <cstdint>

#include "skse/GameCamera.h"

namespace qx {
class ProjectIni;
}

namespace qx::camera {

// Set on the data-loaded message; while null the value is cleared as the game does.
inline game::PlayerCamera* gHorseCamera = nullptr;

void InstallHorseCamFix(ProjectIni& settings);

extern "C" void ClearHeldValueUnlessHorse(game::TESCameraState* state,
                                          std::uint32_t* value) noexcept
    asm("qx_clear_held_value_unless_horse");

}  // namespace qx::camera
