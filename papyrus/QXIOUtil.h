#pragma once
// Script class QXIOUtil: reading and writing text files line by line, testing for and
// deleting files.
#include "skse/NativeFunction.h"

namespace qx::papyrus {

[[nodiscard]] const NativeClassDef& QXIOUtilClass();
// The Papyrus registration callback.
bool RegisterQXIOUtil(ScriptRegistry* registry);

}  // namespace qx::papyrus
