// The game's data handler with its list of loaded plugin files.
#include <cstring>

#include "sim/HostGlobals.h"
#include "sim/Vm.h"
#include "skse/GameDataHandler.h"

namespace sim {
namespace {

// Also held here: the game's region is not memory the leak checker looks through.
qx::game::DataHandler* gDataHandler = nullptr;

}  // namespace

void SetLoadedMods(const std::vector<std::string>& fileNames) {
  using namespace qx::game;
  // Lives as long as the process, as the game's does.
  auto* handler = new DataHandler{};
  LoadedModNode* node = &handler->loadedMods;
  for (std::size_t i = 0; i < fileNames.size(); ++i) {
    auto* record = new LoadedModRecord{};
    std::strncpy(record->name, fileNames[i].c_str(), sizeof record->name - 1);
    if (i > 0) {
      node->next = new LoadedModNode{};
      node = node->next;
    }
    node->record = record;
  }
  gDataHandler = handler;
  SetSingleton(kDataHandlerSingleton, handler);
}

}  // namespace sim
