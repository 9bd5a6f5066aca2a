#pragma once
// The patches Load writes, in their fixed order. Each step tests its guard when it runs,
// looks at its sites, does its work and its writes, then logs its own "QX Inject: " line.
#include <span>

#include "skse/HostCall.h"

namespace qx {

class ProjectIni;

struct InstallStep {
  const char* feature;                      // what the step installs, as the log names it
  std::span<const host::Address> sites;     // every site the step may write
  const char* condition;                    // when the step writes beyond its guard, or null
  bool (*guard)(const ProjectIni& settings);
  void (*install)(ProjectIni& settings);
};

[[nodiscard]] std::span<const InstallStep> InstallSteps();

// Runs every step whose guard holds and whose sites no other module has taken, in order.
void RunInstallSteps(ProjectIni& settings);

}  // namespace qx
