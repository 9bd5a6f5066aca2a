#pragma once
// Singletons of the game, runtime 1.9.32.0: each a pointer stored at a fixed address.
#include "skse/HostCall.h"

namespace qx::game {

inline constexpr host::Address kPlayerCameraSingleton = 0x012E7288;     // PlayerCamera*, null early
inline constexpr host::Address kDataHandlerSingleton = 0x012E2CB8;      // data handler
inline constexpr host::Address kPlayerCharacterSingleton = 0x01B2E8E4;  // the player's Actor*

}  // namespace qx::game
