#pragma once
// The tween menu's camera set-up: the zoom comes from the settings, and the pan step can be
// jumped over.
namespace qx {
class ProjectIni;
}

namespace qx::camera {

// Install step: records the settings, writes the zoom and/or pan patches, logs.
void InstallTweenMenuChanges(ProjectIni& settings);

// The configured zoom, returned on the x87 stack.
extern "C" float ReadTweenMenuZoom() noexcept asm("qx_read_tween_menu_zoom");

}  // namespace qx::camera
