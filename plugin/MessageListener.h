#pragma once
#include "skse/PluginAPI.h"

namespace qx {

// Registered with the messaging interface: finishes set-up once the game's data is loaded
// and refreshes what depends on the saved game after each load.
void OnSKSEMessage(skse::SKSEMessage* message);

}  // namespace qx
