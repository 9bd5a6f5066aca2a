#pragma once
// At a call in the cell-loading path, an active third-person camera whose position nudge is
// exactly zero is made to re-place itself.
#include "skse/GameCamera.h"

namespace qx {
class ProjectIni;
}

namespace qx::camera {

// Set on the data-loaded message; null makes the fix do nothing.
inline game::PlayerCamera* gCellLoadCamera = nullptr;

void InstallCellLoadPositionFix(ProjectIni& settings);

extern "C" void FixCellLoadCameraPosition() noexcept asm("qx_fix_cell_load_camera_position");

}  // namespace qx::camera
