#include "plugin/MessageListener.h"

#include "common/IDebugLog.h"
#include "plugin/PluginState.h"
#include "plugin/ProjectIni.h"

namespace qx {
namespace {

void OnDataLoaded() {
  LogMessage("QX INI: begin post data load processing");
  LogMessage("QX INI: post data load processing complete");
}

void OnPostLoadGame() {}

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
