#include "sim/Game.h"

#include <cstdio>
#include <cstdlib>

#include "sim/GameFolders.h"
#include "sim/GameRegion.h"
#include "sim/HostRoutines.h"
#include "sim/PluginModule.h"
#include "sim/Vm.h"

namespace sim {
namespace {

bool gStarted = false;
bool gBooted = false;

}  // namespace

void Game::Start() {
  if (gStarted) return;
  MapGameRegion();
  PlaceHostRoutines();
  SealGameCode();
  GameFolders::CreateSandbox();
  gStarted = true;
}

BootResult Game::Boot(const BootOptions& options) {
  if (gBooted) {
    std::fprintf(stderr, "sim: the plugin boots once per process; run each test on its own\n");
    std::abort();
  }
  gBooted = true;
  Start();
  if (options.settings) GameFolders::WriteSettings(*options.settings);
  if (options.documentsUnavailable) GameFolders::MakeDocumentsUnavailable();
  for (const OtherHook& hook : options.hooksBeforeLoad) OtherPlugin::Hook(hook);

  ScriptExtender& skse = ScriptExtender::Instance();
  skse.Configure(options.scriptExtender);
  const PluginEntryPoints& plugin = LoadPluginModule();

  BootResult result;
  result.queried = plugin.query(skse.Interface(), &result.info);
  if (result.queried) result.loaded = plugin.load(skse.Interface());
  // The VM starts after the plugins have loaded and runs their Papyrus registrations.
  if (result.loaded) Vm::RunRegistrations();
  return result;
}

void Game::SendDataLoaded() { ScriptExtender::Instance().Dispatch(qx::skse::kMessage_DataLoaded); }

void Game::SendPostLoadGame(std::uintptr_t data) {
  ScriptExtender::Instance().Dispatch(qx::skse::kMessage_PostLoadGame, data);
}

}  // namespace sim
