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
#include "patching/CodePatch.h"
#include "patching/PatchSites.h"
#include "settings/ProjectIni.h"
#include "skse/GameActor.h"
#include "skse/GameActorValues.h"
#include "skse/GameAudio.h"
#include "skse/GameCamera.h"
#include "skse/GameMagic.h"

namespace qx {
namespace {

constexpr StepSite kAVPercentSites[] = {
    {game::kFractionCallSpan_IndexInEax}, {game::kFractionCallSpan_Stamina},
    {game::kFractionCallSpan_Health}, {game::kFractionCallSpan_IndexInEaxSecond}};
constexpr StepSite kJumpBonusSites[] = {{game::kJumpValueCallSpan}};
constexpr StepSite kBashBugSites[] = {{game::kStateResetSpan_ActorOnStack}, {game::kStateResetSpan_ActorInEsi}};
constexpr StepSite kHealthGatingSites[] = {
    {game::kHitDamageCallSpan, [](const ProjectIni& s) { return s.hgIsEnabled; }}};
constexpr StepSite kArtworkSites[] = {{game::kArtPickCallSpan}};
constexpr StepSite kAudioSites[] = {{game::kSoundPlacementSpan}};
constexpr StepSite kCellLoadSites[] = {{game::kCellLoadCallSpan}};
constexpr StepSite kInterceptorSites[] = {{game::kCameraSetStateSpan}};
constexpr StepSite kHorseCamSites[] = {{game::kHorseCamSpan}};
constexpr StepSite kTweenMenuSites[] = {
    {game::kTweenMenuZoomSpan, [](const ProjectIni& s) { return s.camChangeTweenMenuZoom; }},
    {game::kTweenMenuPanSpan, [](const ProjectIni& s) { return s.camDisableTweenMenuPan; }}};

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

constexpr std::size_t MostSitesOfAStep() {
  std::size_t most = 0;
  for (const InstallStep& step : kInstallSteps) most = step.sites.size() > most ? step.sites.size() : most;
  return most;
}

constexpr bool SpansFit() {
  for (const InstallStep& step : kInstallSteps) {
    for (const StepSite& site : step.sites) {
      if (site.span.Bytes() < kRelBranchSize || site.span.Bytes() > host::kMaxPatchSpanBytes) return false;
    }
  }
  return true;
}
static_assert(SpansFit(), "every stretch holds the branch and fits the read-back");

}  // namespace

std::span<const InstallStep> InstallSteps() { return kInstallSteps; }

void RunInstallSteps(ProjectIni& settings) {
  for (const InstallStep& step : kInstallSteps) {
    if (!step.guard(settings)) continue;
    host::PatchSpan toWrite[MostSitesOfAStep()];
    std::size_t count = 0;
    for (const StepSite& site : step.sites) {
      if (site.IsWritten(settings)) toWrite[count++] = site.span;
    }
    if (!StepSitesAreFree(step.feature, std::span(toWrite, count))) continue;
    step.install(settings);
    RememberWrittenSpans(std::span(toWrite, count));
  }
}

}  // namespace qx
