#pragma once
// Script class QXIOUtil: reading and writing text files line by line, testing for and
// deleting files.
#include "skse/NativeFunction.h"

namespace qx::papyrus {

[[nodiscard]] const NativeClassDef& QXIOUtilClass();
// From now on a script thread keeps the game's string of each of its last two file paths,
// so that a path passed again is known by its address (done by the registration).
void KeepFilePathsInGameStrings();
// The Papyrus registration callback.
bool RegisterQXIOUtil(ScriptRegistry* registry);

}  // namespace qx::papyrus
