#pragma once
// The game's own loaded-mod list as the form text functions read it.
#include <cstdint>
#include <string>

#include "papyrus/FormText.h"

namespace qx::papyrus {

// The data handler's list, read at each call (empty while the game has no data handler).
[[nodiscard]] const LoadedMods& GameLoadedMods();

// Load-independent form text ("000D4E_Skyrim.esm") to the form ID it has in this game;
// 0 when its file is not loaded. Custom objects are not accepted.
[[nodiscard]] std::uint32_t ResolveGameFormText(const std::string& text);

}  // namespace qx::papyrus
