#pragma once
// The folders scripts may write in, handed to the file functions while the plugin loads.

namespace qx {

class ProjectIni;

// The game's folder, the game's folder in the player's documents (where the log goes) and
// the folders of [files] writablefolders; an entry that names no usable folder is logged and
// left out. Runs before the script classes are registered.
void AllowScriptWrites(const ProjectIni& settings);

}  // namespace qx
