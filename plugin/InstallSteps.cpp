#include "plugin/InstallSteps.h"

#include <array>

#include "fixes/MagicEffectArtwork.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// In install order; features add their step here as they are built.
constexpr std::array kInstallSteps{
    InstallStep{&ArtworkOverridesWanted, &InstallMagicEffectArtworkOverrides},  // step 5
};

}  // namespace

std::span<const InstallStep> InstallSteps() { return kInstallSteps; }

void RunInstallSteps(ProjectIni& settings) {
  for (const InstallStep& step : kInstallSteps) {
    if (step.guard(settings)) step.install(settings);
  }
}

}  // namespace qx
