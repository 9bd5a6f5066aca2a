#pragma once
// Game objects in script values: object identifiers bound to the game's 64-bit handles.
#include <cstdint>

#include "skse/PapyrusVM.h"

namespace qx::papyrus {

// The identifier's lock word, shared with the VM's own threads.
// Lock returns the word as it was; Unlock stores that value back.
[[nodiscard]] std::uint32_t LockIdentifier(ScriptObjectId* id) noexcept;
void UnlockIdentifier(ScriptObjectId* id, std::uint32_t previous) noexcept;
// A value now holds the identifier (the 1 -> 2 step adds a reference to the handle).
void IncrementIdentifierUse(ScriptObjectId* id) noexcept;
// A local reference is dropped (2 -> 1 releases the handle's reference; 0 destroys).
void DecrementIdentifierUse(ScriptObjectId* id) noexcept;

// The live game object of `formType` that the value holds, or null.
[[nodiscard]] void* UnpackFormArg(const ScriptValue* value, std::uint32_t formType) noexcept;
// Writes `object` into the value as an identifier of its class; none when it cannot.
void PackFormResult(ScriptValue* value, void* object, std::uint32_t formType,
                    ScriptRegistry* registry) noexcept;
// Writes `count` objects as a new script array of their class; no objects give none.
void PackFormArray(ScriptValue* value, void* const* objects, std::uint32_t count,
                   std::uint32_t formType, ScriptRegistry* registry) noexcept;
// Binds a new identifier in `slot` to the handle of `object`.
void BindObjectId(ScriptObjectId** slot, void* object, ScriptRegistry* registry,
                  HandlePolicy* policy, std::uint32_t formType) noexcept;

}  // namespace qx::papyrus
