#pragma once
// What the VM stand-in's parts share among themselves (not for tests).
#include <cstdint>

#include "sim/Vm.h"

namespace sim::vm {

// The game's side of the identifier lock word protocol.
void IncrementUse(ScriptObjectId* id);
void DecrementUse(ScriptObjectId* id);
// A value's held data gains or loses one reference.
void AddHeldReference(const ScriptValue& value);
void DropHeldReference(ScriptValue& value);

void PlaceValueRoutines();
void PlaceObjectRoutines();
void PlaceFunctionRoutines();

// Registry operations the objects part provides.
bool QX_THISCALL ClassOfFormType(ScriptRegistry*, std::uint32_t formType, ScriptClassInfo** out);
bool QX_THISCALL TypeIdOfName(ScriptRegistry*, const StringCache::Ref* name, std::uint32_t* out);
bool QX_THISCALL CreateIdentifier(ScriptRegistry*, const StringCache::Ref* name, ScriptObjectId** out);
bool QX_THISCALL BoundIdentifier(ScriptRegistry*, std::uint32_t low, std::uint32_t high,
                                 const char* className, ScriptObjectId** out);
bool QX_THISCALL CreateArray(ScriptRegistry*, ScriptValue* value, std::uint32_t count,
                             ScriptArrayData** out);
qx::papyrus::HandlePolicy* QX_THISCALL GetHandlePolicy(ScriptRegistry*);
qx::papyrus::BindPolicy* QX_THISCALL GetBindPolicy(ScriptRegistry*);
void QX_THISCALL RegisterFunction(ScriptRegistry*, IFunction* function);

// An aborting stand-in for operations the plugin never calls.
[[noreturn]] void Unexpected(const char* what);

}  // namespace sim::vm
