// The game's data handler with its list of loaded plugin files and its book array.
#include "sim/DataHandler.h"

#include <cstring>

#include "sim/Forms.h"
#include "sim/HostGlobals.h"
#include "sim/Vm.h"

namespace sim {
namespace {

// Also held here: the game's region is not memory the leak checker looks through.
qx::game::DataHandler* gDataHandler = nullptr;

}  // namespace

qx::game::DataHandler& GameDataHandler() {
  auto*& current = GameGlobal<qx::game::DataHandler*>(qx::game::kDataHandlerSingleton);
  if (current == nullptr) {
    if (gDataHandler == nullptr) gDataHandler = new qx::game::DataHandler{};
    current = gDataHandler;
  }
  return *current;
}

void SetLoadedMods(const std::vector<std::string>& fileNames) {
  using namespace qx::game;
  LoadedModNode* node = &GameDataHandler().loadedMods;
  *node = {};
  for (std::size_t i = 0; i < fileNames.size(); ++i) {
    auto* record = new LoadedModRecord{};
    KeepForProcess(record);
    std::strncpy(record->name, fileNames[i].c_str(), sizeof record->name - 1);
    if (i > 0) {
      node->next = new LoadedModNode{};
      KeepForProcess(node->next);
      node = node->next;
    }
    node->record = record;
  }
}

}  // namespace sim
