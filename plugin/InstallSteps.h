#pragma once
// The patches Load writes, in their fixed order. Each step tests its guard when it runs,
// looks at its sites, does its work and its writes, then logs its own "QX Inject: " line.
#include <span>

#include "skse/PatchSpan.h"

namespace qx {

class ProjectIni;

// A site a step may write, with the stretch of game code its patch takes over.
struct StepSite {
  host::PatchSpan span;
  // Whether the settings make the step write this site; null: whenever the step runs.
  bool (*writtenWhen)(const ProjectIni& settings) = nullptr;

  [[nodiscard]] bool IsWritten(const ProjectIni& settings) const { return writtenWhen == nullptr || writtenWhen(settings); }
};

struct InstallStep {
  const char* feature;                      // what the step installs, as the log names it
  std::span<const StepSite> sites;          // every site the step may write
  const char* condition;                    // when the step writes beyond its guard, or null
  bool (*guard)(const ProjectIni& settings);
  void (*install)(ProjectIni& settings);
};

[[nodiscard]] std::span<const InstallStep> InstallSteps();

// Runs every step whose guard holds and whose sites (those the settings make it write) no
// other module has taken, in order; remembers the stretch of each site it wrote.
void RunInstallSteps(ProjectIni& settings);

}  // namespace qx
