#include "plugin/MessageListener.h"

#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "papyrus/SkillBooks.h"
#include "plugin/PluginState.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

// Stands in for the string utilities' resolver of load-independent form text until they are
// part of the plugin: no file counts as loaded, so every entry is reported unrecognized.
game::FormID ResolveNoFormText(const std::string&) { return 0; }

void OnDataLoaded() {
  LogMessage("QX INI: begin post data load processing");
  if (plugin::gSettings != nullptr) RegisterPriorityOverrides(*plugin::gSettings, &ResolveNoFormText);
  LogMessage("QX INI: post data load processing complete");
  BuildSkillBookLists();
}

void OnPostLoadGame() { RefreshBooksAfterGameLoad(); }

}  // namespace

void OnSKSEMessage(skse::SKSEMessage* message) {
  if (message == nullptr) return;
  switch (message->type) {
    case skse::kMessage_DataLoaded:
      OnDataLoaded();
      break;
    case skse::kMessage_PostLoadGame:
      if (message->data != 0) OnPostLoadGame();
      break;
    default:
      break;
  }
}

}  // namespace qx
