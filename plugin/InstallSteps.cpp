#include "plugin/InstallSteps.h"

#include "camera/CameraInterceptor.h"
#include "camera/CellLoadPositionFix.h"
#include "camera/HorseCamFix.h"
#include "camera/PlayerAudioRepositioner.h"
#include "camera/TweenMenuCamera.h"
#include "fixes/MagicEffectArtwork.h"
#include "fixes/AVPercentFix.h"
#include "fixes/BashBugFix.h"
#include "fixes/HealthGating.h"
#include "fixes/JumpBonusFix.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// In install order; features add their step here as they are built.
constexpr InstallStep kInstallSteps[] = {
    {"actor value percentage fix (0x005067DF, 0x00506A0C, 0x00506A8C, 0x008DA706)",
     [](const ProjectIni& s) { return s.gEnableAVPercentFix; }, &InstallAVPercentFix},
    {"jump bonus fix (0x006B5A39)", [](const ProjectIni& s) { return s.gEnableJumpBonusFix; },
     &InstallJumpBonusFix},
    {"bash bug fix (0x00780D1A, 0x007807A4)", [](const ProjectIni& s) { return s.gEnableBashBugFix; },
     &InstallBashBugFix},
    // healthgating / isenabled is tested inside: off still logs the step's DISABLED line.
    {"health gating (0x006AC333, when [healthgating] isenabled)",
     [](const ProjectIni& s) { return s.gEnableHealthGateFix; }, &InstallHealthGating},
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
