#include "plugin/ScriptClasses.h"

#include <array>

#include "common/IDebugLog.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// Script classes add their row here as they are built.
constexpr std::array<ScriptClassRegistration, 0> kScriptClasses{};

}  // namespace

std::span<const ScriptClassRegistration> ScriptClassRegistrations() { return kScriptClasses; }

bool RegisterScriptClasses(const skse::SKSEPapyrusInterface& papyrus, const ProjectIni& settings,
                           bool settingsRead) {
  bool allSucceeded = true;
  for (const ScriptClassRegistration& entry : kScriptClasses) {
    if (!entry.wanted(settings, settingsRead)) continue;
    bool registered = papyrus.Register(entry.registerFunctions);
    LogMessage("%s", entry.logLine);
    allSucceeded = allSucceeded && registered;
  }
  return allSucceeded;
}

}  // namespace qx
