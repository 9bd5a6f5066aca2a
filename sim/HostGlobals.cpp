#include "sim/HostGlobals.h"

namespace sim {

void ResetHostGlobals() {
  SetSingleton<void>(qx::game::kPlayerCameraSingleton, nullptr);
  SetSingleton<void>(qx::game::kDataHandlerSingleton, nullptr);
  SetSingleton<void>(qx::game::kPlayerCharacterSingleton, nullptr);
}

}  // namespace sim
