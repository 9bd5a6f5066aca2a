#include "plugin/InstallSteps.h"

#include "camera/CameraInterceptor.h"
#include "camera/CellLoadPositionFix.h"
#include "camera/HorseCamFix.h"
#include "camera/PlayerAudioRepositioner.h"
#include "camera/TweenMenuCamera.h"
#include "fixes/MagicEffectArtwork.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// In install order; features add their step here as they are built.
constexpr InstallStep kInstallSteps[] = {
    {"magic effect artwork overrides (0x006689CA)", &ArtworkOverridesWanted,
     &InstallMagicEffectArtworkOverrides},
    {"player audio repositioner (0x00BA424A)",
     [](const ProjectIni& s) { return s.gEnablePlayerAudioRepositioner; },
     &camera::InstallPlayerAudioRepositioner},
    {"camera cell load position fix (0x00743161)",
     [](const ProjectIni& s) { return s.camEnable3PCellLoadPositionFix; },
     &camera::InstallCellLoadPositionFix},
    {"camera interceptor (0x006533EC)", [](const ProjectIni& s) { return s.camEnableInterceptor; },
     &camera::InstallCameraInterceptor},
    {"horse cam fix (0x0083B003)", [](const ProjectIni& s) { return s.camEnableHorseCamFix; },
     &camera::InstallHorseCamFix},
    {"tween menu changes (zoom 0x0084108E, pan 0x008412D3)",
     [](const ProjectIni& s) { return s.camEnableTweenMenuChanges; },
     &camera::InstallTweenMenuChanges},
};

}  // namespace

std::span<const InstallStep> InstallSteps() { return kInstallSteps; }

void RunInstallSteps(ProjectIni& settings) {
  for (const InstallStep& step : kInstallSteps) {
    if (step.guard(settings)) step.install(settings);
  }
}

}  // namespace qx
