#pragma once
#include <string>

// The game's own folder inside the player's documents folder (saves, its settings, and this
// plugin's log), from the documents folder on; a literal, so that it joins the names after it.
#define QX_GAME_DOCUMENTS_FOLDER "\\My Games\\Skyrim"
// The plugin's log, from the game's folder in the documents on; the log falls back to the
// same path with a digit 0 to 4 after it.
#define QX_LOG_FILE_IN_GAME_DOCUMENTS "\\SKSE\\QXKit.log"

namespace qx {

// The game folder: that of the process's executable, read whole, without a trailing "\";
// empty when the system cannot name the executable.
[[nodiscard]] std::string GameFolder();

// The game folder, then "\Data\SKSE\Plugins\", then
// `name`. Nothing checks that the folder or the file exists.
[[nodiscard]] std::string MakePluginPath(const std::string& name);

}  // namespace qx
