#pragma once
// Script class QXStringUtil: splitting and formatting text, hexadecimal text, placeable
// type tags, and load-independent form text.
#include "skse/NativeFunction.h"

namespace qx::papyrus {

[[nodiscard]] const NativeClassDef& QXStringUtilClass();
// The Papyrus registration callback.
bool RegisterQXStringUtil(ScriptRegistry* registry);

}  // namespace qx::papyrus
