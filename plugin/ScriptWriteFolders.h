#pragma once
// The folders scripts may write in, handed to the file functions while the plugin loads.

namespace qx {

class ProjectIni;

// The game's folder and the game's folder in the player's documents (where the log goes),
// as the system gives them (in their long names, on a share too), and the folders of
// [files] writablefolders: each entry is logged with the folder it opens, an entry that
// opens a whole drive or the folders above the game's with a warning, and one that names
// no usable folder is logged and left out. Runs before the script classes are registered.
void AllowScriptWrites(const ProjectIni& settings);

}  // namespace qx
