#pragma once
// The script classes Load registers with the Papyrus interface, in registration order.
#include <span>

#include "skse/NativeFunction.h"
#include "skse/PluginAPI.h"

namespace qx {

class ProjectIni;

struct ScriptClassRegistration {
  // Whether the class is registered, given the settings and whether they were read.
  bool (*wanted)(const ProjectIni& settings, bool settingsRead);
  skse::RegisterFunctionsCallback registerFunctions;
  // The class's functions with their script types: what registration builds and what
  // script sources declare.
  const papyrus::NativeClassDef& (*functions)();
  const char* logLine;  // logged after the Register call, whatever it returned
};

[[nodiscard]] std::span<const ScriptClassRegistration> ScriptClassRegistrations();

// Registers every wanted class; true when each Register call succeeded (and none failed).
bool RegisterScriptClasses(const skse::SKSEPapyrusInterface& papyrus, const ProjectIni& settings,
                           bool settingsRead);

}  // namespace qx
