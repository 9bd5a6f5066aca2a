#include "plugin/InstallSteps.h"

#include "camera/CameraInterceptor.h"
#include "camera/CellLoadPositionFix.h"
#include "camera/HorseCamFix.h"
#include "camera/PlayerAudioRepositioner.h"
#include "camera/TweenMenuCamera.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// In install order; features add their step here as they are built.
constexpr InstallStep kInstallSteps[] = {
    {[](const ProjectIni& s) { return s.gEnablePlayerAudioRepositioner; },
     &camera::InstallPlayerAudioRepositioner},
    {[](const ProjectIni& s) { return s.camEnable3PCellLoadPositionFix; },
     &camera::InstallCellLoadPositionFix},
    {[](const ProjectIni& s) { return s.camEnableInterceptor; }, &camera::InstallCameraInterceptor},
    {[](const ProjectIni& s) { return s.camEnableHorseCamFix; }, &camera::InstallHorseCamFix},
    {[](const ProjectIni& s) { return s.camEnableTweenMenuChanges; },
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
