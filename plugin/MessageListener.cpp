#include "plugin/MessageListener.h"

#include <optional>

#include "camera/CameraInterceptor.h"
#include "camera/CellLoadPositionFix.h"
#include "camera/HorseCamFix.h"
#include "camera/PlayerAudioRepositioner.h"
#include "common/IDebugLog.h"
#include "fixes/PriorityOverrides.h"
#include "papyrus/books/SkillBooks.h"
#include "papyrus/text/GameLoadedMods.h"
#include "patching/PatchSites.h"
#include "plugin/PluginState.h"
#include "settings/ProjectIni.h"
#include "skse/GameGlobals.h"

namespace qx {
namespace {

// The camera features keep their own copy of the player camera, taken once the game's data
// is loaded; a null copy keeps the feature idle with its patch in place.
struct CameraCapture {
  bool (*guard)(const ProjectIni& settings);
  game::PlayerCamera** camera;
  const char* missingLine;
};

constexpr CameraCapture kCameraCaptures[] = {
    {[](const ProjectIni& s) { return s.gEnablePlayerAudioRepositioner; },
     &camera::gPlayerAudioCamera,
     "QX Audio Repositioner: could not hook into primary camera; disabling"},
    {[](const ProjectIni& s) { return s.camEnable3PCellLoadPositionFix; },
     &camera::gCellLoadCamera,
     "QX Camera Cell Load Position Fix: could not hook into primary camera; disabling"},
    {[](const ProjectIni& s) { return s.camEnableInterceptor; }, &camera::gInterceptorCamera,
     "QX Camera Interceptor: could not hook into primary camera; disabling"},
    {[](const ProjectIni& s) { return s.camEnableHorseCamFix; }, &camera::gHorseCamera,
     "QX Horse Cam Fix: could not hook into camera; disabling"},
};

void CapturePlayerCamera(const ProjectIni& settings) {
  for (const CameraCapture& capture : kCameraCaptures) {
    if (!capture.guard(settings)) continue;
    *capture.camera = host::Global<game::PlayerCamera*>(game::kPlayerCameraSingleton);
    if (*capture.camera == nullptr) LogMessage("%s", capture.missingLine);
  }
}

void OnDataLoaded() {
  LogMessage("QX INI: begin post data load processing");
  if (plugin::gSettings != nullptr) {
    // The game's list of loaded files is read once for all entries, not walked per entry.
    std::optional<papyrus::LoadedModIndex> mods;
    RegisterPriorityOverrides(*plugin::gSettings, [&mods](std::string_view text) {
      if (!mods) mods.emplace();
      return papyrus::ResolveLoadIndependentFormText(text, false, *mods);
    });
  }
  LogMessage("QX INI: post data load processing complete");
  if (plugin::gSettings != nullptr) CapturePlayerCamera(*plugin::gSettings);
  BuildSkillBookLists();
  // Plugins that loaded after QXKit have written their patches by now.
  ReportOverwrittenBranches();
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
