#pragma once
// The game's one data handler. The loaded-mod list (SetLoadedMods, sim/Vm.h) and the book
// array (SetDataHandlerBooks, sim/Books.h) are parts of this one object.
#include "skse/GameDataHandler.h"

namespace sim {

// Made on first use and then the game's singleton; it lives until the process ends.
[[nodiscard]] qx::game::DataHandler& GameDataHandler();

}  // namespace sim
