#pragma once
// The patches Load writes, in their fixed order. Each step tests its guard when it runs,
// does its work and its writes, then logs its own "QX Inject: " line.
#include <span>

namespace qx {

class ProjectIni;

struct InstallStep {
  const char* feature;  // what the step installs, for tools
  bool (*guard)(const ProjectIni& settings);
  void (*install)(ProjectIni& settings);
};

[[nodiscard]] std::span<const InstallStep> InstallSteps();

// Runs every step whose guard holds, in order.
void RunInstallSteps(ProjectIni& settings);

}  // namespace qx
