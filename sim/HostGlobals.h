#pragma once
// The game's singleton pointers, in the data part of the region.
#include "sim/GameRegion.h"
#include "skse/GameGlobals.h"

namespace sim {

// All singletons null, as before the game has made them.
void ResetHostGlobals();

template <typename T>
void SetSingleton(qx::host::Address address, T* object) {
  GameGlobal<T*>(address) = object;
}

}  // namespace sim
