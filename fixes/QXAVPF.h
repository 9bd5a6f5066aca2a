#pragma once
// Script class QXAVPF: any modifier of any actor value, by the actor value's name.
#include <cstdint>

#include "skse/ActorExtended.h"
#include "skse/NativeFunction.h"

namespace qx::papyrus {

// 0.0 for a null actor or a name the game does not know; otherwise the game's modifier of
// `kind` (handed on unchecked) for that actor value.
[[nodiscard]] float GetAVModifier(qxnsSKSE::ActorExtended* actor, std::uint32_t kind,
                                  const char* actorValueName);

// The class's one function as scripts see it, and the Papyrus registration callback.
[[nodiscard]] const NativeClassDef& QXAVPFClass();
bool RegisterQXAVPF(ScriptRegistry* registry);

}  // namespace qx::papyrus
