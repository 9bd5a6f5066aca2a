// The two entry points the script extender calls: Query identifies the plugin and refuses
// the wrong host; Load reads the settings, patches the game, registers the script classes
// and the message listener.
#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "papyrus/books/SkillBooks.h"
#include "platform/Platform.h"
#include "plugin/InstallSteps.h"
#include "plugin/MessageListener.h"
#include "plugin/PluginState.h"
#include "plugin/ScriptClasses.h"
#include "plugin/ScriptWriteFolders.h"
#include "settings/ProjectIni.h"
#include "skse/PluginAPI.h"
#include "skse/PluginPath.h"

#ifdef _WIN32
#define QX_EXPORT __declspec(dllexport)
#else
#define QX_EXPORT __attribute__((visibility("default")))
#endif

using namespace qx;

namespace {

constexpr const char* kPluginName = "QXKit";
constexpr std::uint32_t kPluginVersion = 1;

const skse::SKSEPapyrusInterface* QueryPapyrus(const skse::SKSEInterface& skse) {
  auto* papyrus = static_cast<const skse::SKSEPapyrusInterface*>(
      skse.QueryInterface(skse::kInterface_Papyrus));
  if (papyrus == nullptr) {
    LogMessage("QX Papyrus: the script extender offers no papyrus interface; no functions registered");
  }
  return papyrus;
}

void RegisterListener(const skse::SKSEInterface& skse) {
  auto* messaging = static_cast<const skse::SKSEMessagingInterface*>(
      skse.QueryInterface(skse::kInterface_Messaging));
  if (messaging == nullptr) {
    LogMessage("QX INI: the script extender offers no messaging interface; post data load processing will not run");
    return;
  }
  messaging->RegisterListener(plugin::gPluginHandle, "SKSE", &OnSKSEMessage);
}

}  // namespace

extern "C" {

QX_EXPORT bool SKSEPlugin_Query(const skse::SKSEInterface* skse, skse::PluginInfo* info) {
  IDebugLog::OpenInFolder(platform::kFolderId_Documents, QX_GAME_DOCUMENTS_FOLDER QX_LOG_FILE_IN_GAME_DOCUMENTS);
  IDebugLog::consoleLevel = 1;
  IDebugLog::fileLevel = 5;
  LogMessage("%s", kPluginName);

  info->infoVersion = skse::PluginInfo::kInfoVersion;
  info->name = kPluginName;
  info->version = kPluginVersion;

  plugin::gPluginHandle = skse->GetPluginHandle();
  if (skse->isEditor != 0) {
    LogMessage("loaded in editor, marking as incompatible");
    return false;
  }
  if (skse->runtimeVersion != skse::kRuntimeVersion_1_9_32_0) {
    LogMessage("unsupported runtime version %08X", skse->runtimeVersion);
    return false;
  }
  return true;
}

QX_EXPORT bool SKSEPlugin_Load(const skse::SKSEInterface* skse) {
  // Never destroyed: patches and threads read it until the end.
  auto* settings = new ProjectIni(&ReadPriorityOverridesFile);
  plugin::gSettings = settings;
  plugin::gSettingsRead = settings->Load();

  if (!plugin::gSettingsRead) {
    LogMessage("QX INI: could not load settings file; most fixes will be disabled");
  } else {
    RunInstallSteps(*settings);
    InstallBookFunctions(*settings);
    LogMessage("QX Inject: papyrus functions loaded");
  }
  AllowScriptWrites(*settings);
  plugin::gPapyrus = QueryPapyrus(*skse);

  if (plugin::gPapyrus != nullptr &&
      RegisterScriptClasses(*plugin::gPapyrus, *settings, plugin::gSettingsRead)) {
    LogMessage("QX Papyrus: all registrations succeeded without errors");
  }
  RegisterListener(*skse);
  return true;
}

}  // extern "C"
