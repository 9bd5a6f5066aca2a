#include "plugin/ScriptClasses.h"

#include <array>

#include "common/IDebugLog.h"
#include "fixes/QXAVPF.h"
#include "papyrus/QXAEUtil.h"
#include "papyrus/QXIOUtil.h"
#include "papyrus/QXPapyrusFunc.h"
#include "papyrus/QXStringUtil.h"
#include "settings/ProjectIni.h"

namespace qx {
namespace {

bool Always(const ProjectIni&, bool) { return true; }
bool WithActorValueFix(const ProjectIni& settings, bool settingsRead) {
  return settingsRead && settings.gEnableAVPercentFix;
}

// In registration order: QXAVPF, QXIOUtil, QXStringUtil, QXAEUtil, QXPapyrusFunc. Script
// classes add their row in that order as they are built.
constexpr std::array kScriptClasses{
    ScriptClassRegistration{&WithActorValueFix, &papyrus::RegisterQXAVPF, &papyrus::QXAVPFClass,
                            "QX Papyrus: registered actor value percentage fix functions"},
    ScriptClassRegistration{&Always, &papyrus::RegisterQXIOUtil, &papyrus::QXIOUtilClass,
                            "QX Papyrus: registered IO utils functions"},
    ScriptClassRegistration{&Always, &papyrus::RegisterQXStringUtil, &papyrus::QXStringUtilClass,
                            "QX Papyrus: registered string utils functions"},
    ScriptClassRegistration{&Always, &papyrus::RegisterQXAEUtil, &papyrus::QXAEUtilClass,
                            "QX Papyrus: registered actor effects functions"},
    ScriptClassRegistration{&Always, &papyrus_func::RegisterQXPapyrusFunc,
                            &papyrus_func::QXPapyrusFuncClass,
                            "QX Papyrus: registered general functions"},
};

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
