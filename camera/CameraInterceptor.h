#pragma once
// Every change of the player camera's state passes here: the third-person state may stand in
// for the furniture state, and the third-person state is nudged when it takes over from the
// kill camera.
#include "skse/GameCamera.h"

namespace qx {
class ProjectIni;
}

namespace qx::camera {

// Set on the data-loaded message; null keeps every request unchanged.
inline game::PlayerCamera* gInterceptorCamera = nullptr;

// Install step: records the settings, writes the jump, logs.
void InstallCameraInterceptor(ProjectIni& settings);

// The state the camera switches to instead of `requested`.
extern "C" game::TESCameraState* ChooseCameraState(game::TESCameraState* requested) noexcept
    asm("qx_choose_camera_state");

}  // namespace qx::camera
