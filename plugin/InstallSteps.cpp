#include "plugin/InstallSteps.h"

#include "camera/CameraInterceptor.h"
#include "camera/CellLoadPositionFix.h"
#include "camera/HorseCamFix.h"
#include "camera/PlayerAudioRepositioner.h"
#include "camera/TweenMenuCamera.h"
#include "fixes/AVPercentFix.h"
#include "fixes/BashBugFix.h"
#include "fixes/HealthGating.h"
#include "fixes/JumpBonusFix.h"
#include "fixes/MagicEffectArtwork.h"
#include "plugin/CodePatch.h"
#include "plugin/PatchSites.h"
#include "plugin/ProjectIni.h"
#include "skse/GameActor.h"
#include "skse/GameActorValues.h"
#include "skse/GameAudio.h"
#include "skse/GameCamera.h"
#include "skse/GameMagic.h"

namespace qx {
namespace {

constexpr host::Address kAVPercentSites[] = {
    game::kFractionCallSite_IndexInEax, game::kFractionCallSite_Stamina,
    game::kFractionCallSite_Health, game::kFractionCallSite_IndexInEaxSecond};
constexpr host::Address kJumpBonusSites[] = {game::kJumpValueCallSite};
constexpr host::Address kBashBugSites[] = {game::kStateResetSite_ActorOnStack,
                                           game::kStateResetSite_ActorInEsi};
constexpr host::Address kHealthGatingSites[] = {game::kHitDamageCallSite};
constexpr host::Address kArtworkSites[] = {game::kArtPickCallSite};
constexpr host::Address kAudioSites[] = {game::kSoundPlacementSite};
constexpr host::Address kCellLoadSites[] = {game::kCellLoadCallSite};
constexpr host::Address kInterceptorSites[] = {game::kCameraSetStateSite};
constexpr host::Address kHorseCamSites[] = {game::kHorseCamSite};
constexpr host::Address kTweenMenuSites[] = {game::kTweenMenuZoomSite, game::kTweenMenuPanSite};

// In install order; features add their step here as they are built.
constexpr InstallStep kInstallSteps[] = {
    {"actor value percentage fix", kAVPercentSites, nullptr,
     [](const ProjectIni& s) { return s.gEnableAVPercentFix; }, &InstallAVPercentFix},
    {"jump bonus fix", kJumpBonusSites, nullptr,
     [](const ProjectIni& s) { return s.gEnableJumpBonusFix; }, &InstallJumpBonusFix},
    {"bash bug fix", kBashBugSites, nullptr,
     [](const ProjectIni& s) { return s.gEnableBashBugFix; }, &InstallBashBugFix},
    // healthgating / isenabled is tested inside: off still logs the step's DISABLED line.
    {"health gating", kHealthGatingSites, "when [healthgating] isenabled",
     [](const ProjectIni& s) { return s.gEnableHealthGateFix; }, &InstallHealthGating},
    {"magic effect artwork overrides", kArtworkSites, nullptr, &ArtworkOverridesWanted,
     &InstallMagicEffectArtworkOverrides},
    {"player audio repositioner", kAudioSites, nullptr,
     [](const ProjectIni& s) { return s.gEnablePlayerAudioRepositioner; },
     &camera::InstallPlayerAudioRepositioner},
    {"camera cell load position fix", kCellLoadSites, nullptr,
     [](const ProjectIni& s) { return s.camEnable3PCellLoadPositionFix; },
     &camera::InstallCellLoadPositionFix},
    {"camera interceptor", kInterceptorSites, nullptr,
     [](const ProjectIni& s) { return s.camEnableInterceptor; }, &camera::InstallCameraInterceptor},
    {"horse cam fix", kHorseCamSites, nullptr,
     [](const ProjectIni& s) { return s.camEnableHorseCamFix; }, &camera::InstallHorseCamFix},
    {"tween menu changes", kTweenMenuSites, "zoom and pan as [cameratweaks] asks",
     [](const ProjectIni& s) { return s.camEnableTweenMenuChanges; },
     &camera::InstallTweenMenuChanges},
};

constexpr std::size_t SiteCount() {
  std::size_t count = 0;
  for (const InstallStep& step : kInstallSteps) count += step.sites.size();
  return count;
}
static_assert(SiteCount() <= kMaxWrittenBranches, "every branch written must be remembered");

}  // namespace

std::span<const InstallStep> InstallSteps() { return kInstallSteps; }

void RunInstallSteps(ProjectIni& settings) {
  for (const InstallStep& step : kInstallSteps) {
    if (!step.guard(settings)) continue;
    if (!StepSitesAreFree(step.feature, step.sites)) continue;
    step.install(settings);
  }
}

}  // namespace qx
