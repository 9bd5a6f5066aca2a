#include "plugin/InstallSteps.h"

#include <array>

#include "fixes/AVPercentFix.h"
#include "fixes/BashBugFix.h"
#include "fixes/HealthGating.h"
#include "fixes/JumpBonusFix.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// In install order; features add their step here as they are built.
constexpr std::array kInstallSteps{
    InstallStep{[](const ProjectIni& s) { return s.gEnableAVPercentFix; }, &InstallAVPercentFix},
    InstallStep{[](const ProjectIni& s) { return s.gEnableJumpBonusFix; }, &InstallJumpBonusFix},
    InstallStep{[](const ProjectIni& s) { return s.gEnableBashBugFix; }, &InstallBashBugFix},
    // healthgating / isenabled is tested inside: off still logs the step's DISABLED line.
    InstallStep{[](const ProjectIni& s) { return s.gEnableHealthGateFix; }, &InstallHealthGating},
};

}  // namespace

std::span<const InstallStep> InstallSteps() { return kInstallSteps; }

void RunInstallSteps(ProjectIni& settings) {
  for (const InstallStep& step : kInstallSteps) {
    if (step.guard(settings)) step.install(settings);
  }
}

}  // namespace qx
