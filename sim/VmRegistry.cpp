// The registry of the VM stand-in, the game's part of native-function objects, and calling
// a registered native as a script does.
#include <array>
#include <cstring>
#include <mutex>

#include "sim/GameRegion.h"
#include "sim/ScriptExtender.h"
#include "sim/VmHeap.h"
#include "sim/VmState.h"
#include "sim/VmStrings.h"

namespace sim {
namespace vm {
namespace {

using namespace qx::papyrus;

constexpr unsigned kRegistrySlots = 48;

struct RegistryObject {
  const void* const* table;
};
std::array<const void*, kRegistrySlots> gRegistryTable{};
RegistryObject gRegistry{gRegistryTable.data()};

// Never destroyed: the game still owns these objects when the process ends.
std::vector<IFunction*>& gFunctions = *new std::vector<IFunction*>;
std::vector<ForwardedCall>& gForwarded = *new std::vector<ForwardedCall>;
std::size_t gBaseDestructorCalls = 0;
std::mutex gLock;

void QX_THISCALL UnusedRegistrySlot(RegistryObject*) { Unexpected("an unused registry slot was called"); }

// The game's constructor of a native function's common part.
void QX_THISCALL ConstructFunction(IFunction* self, const char* name, const char* className,
                                   std::uint32_t one, std::uint32_t parameterCount) {
  if (one != 1) Unexpected("the function constructor expects the literal 1");
  if (self->name.data != nullptr || self->className.data != nullptr || self->unk10.data != nullptr ||
      self->unk28.data != nullptr) {
    Unexpected("the function's names were not cleared before construction");
  }
  self->unk04 = 0x04040404;
  self->name.data = VmStrings::Intern(name);
  self->className.data = VmStrings::Intern(className);
  self->unk10.data = VmStrings::Intern("");
  self->resultType = kType_None;
  // Without room for the parameter table the object is left without one.
  self->parameters = parameterCount != 0
                         ? static_cast<FunctionParameter*>(VmHeap::Allocate(8 * parameterCount))
                         : nullptr;
  for (std::uint32_t i = 0; self->parameters != nullptr && i < parameterCount; ++i) {
    self->parameters[i].name.data = VmStrings::Intern("arg" + std::to_string(i));
    self->parameters[i].type = kType_None;
  }
  self->unk1C = 0x1C1C;
  self->parameterCount = static_cast<std::uint16_t>(parameterCount);
  self->unk20 = 1;
  self->unk21 = 0;
  self->unk24 = 0x24242424;
  self->unk28.data = VmStrings::Intern("fourth");
}

void QX_THISCALL DestroyFunctionBase(IFunction* self) {
  std::lock_guard<std::mutex> guard(gLock);
  ++gBaseDestructorCalls;
  VmHeap::Free(self->parameters);
  self->parameters = nullptr;
}

template <std::uintptr_t kRoutine>
std::uint32_t QX_THISCALL Forwarded(IFunction* self, std::uint32_t first, std::uint32_t second) {
  std::lock_guard<std::mutex> guard(gLock);
  gForwarded.push_back({kRoutine, self, first, second});
  return static_cast<std::uint32_t>(kRoutine) ^ first;
}

struct SimArgumentFrame {
  ScriptValue* values;
  std::uint32_t count;
  std::uint32_t offset;
};
constexpr std::uint32_t kFrameOffset = 3;  // values of the caller ahead of the arguments

template <typename Fn>
Fn* Slot(IFunction* function, unsigned slot) {
  return reinterpret_cast<Fn*>(const_cast<void*>((*function->table)[slot]));
}

}  // namespace

void QX_THISCALL RegisterFunction(ScriptRegistry* registry, IFunction* function) {
  if (registry != reinterpret_cast<ScriptRegistry*>(&gRegistry)) Unexpected("register on a foreign registry");
  std::lock_guard<std::mutex> guard(gLock);
  gFunctions.push_back(function);
}

void PlaceFunctionRoutines() {
  gRegistryTable.fill(reinterpret_cast<const void*>(&UnusedRegistrySlot));
  gRegistryTable[kRegistrySlot_ClassOfFormType] = reinterpret_cast<const void*>(&ClassOfFormType);
  gRegistryTable[kRegistrySlot_TypeIdOfName] = reinterpret_cast<const void*>(&TypeIdOfName);
  gRegistryTable[kRegistrySlot_CreateIdentifier] = reinterpret_cast<const void*>(&CreateIdentifier);
  gRegistryTable[kRegistrySlot_CreateArray] = reinterpret_cast<const void*>(&CreateArray);
  gRegistryTable[kRegistrySlot_RegisterFunction] = reinterpret_cast<const void*>(&RegisterFunction);
  gRegistryTable[kRegistrySlot_BoundIdentifier] = reinterpret_cast<const void*>(&BoundIdentifier);
  gRegistryTable[kRegistrySlot_HandlePolicy] = reinterpret_cast<const void*>(&GetHandlePolicy);
  gRegistryTable[kRegistrySlot_BindPolicy] = reinterpret_cast<const void*>(&GetBindPolicy);

  PlaceRoutine(kFunctionConstruct, reinterpret_cast<const void*>(&ConstructFunction));
  PlaceRoutine(kFunctionBaseDestroy, reinterpret_cast<const void*>(&DestroyFunctionBase));
  PlaceRoutine(kFunctionSlot6Host, reinterpret_cast<const void*>(&Forwarded<kFunctionSlot6Host>));
  PlaceRoutine(kFunctionSlot15Host, reinterpret_cast<const void*>(&Forwarded<kFunctionSlot15Host>));
  PlaceRoutine(kFunctionSlot16Host, reinterpret_cast<const void*>(&Forwarded<kFunctionSlot16Host>));
  PlaceRoutine(kFunctionSlot18Host, reinterpret_cast<const void*>(&Forwarded<kFunctionSlot18Host>));
}

}  // namespace vm

using namespace qx::papyrus;

void Vm::PlaceRoutines() {
  VmHeap::PlaceRoutines();
  VmStrings::PlaceRoutines();
  vm::PlaceValueRoutines();
  vm::PlaceObjectRoutines();
  vm::PlaceFunctionRoutines();
}

bool Vm::RunRegistrations() {
  bool all = true;
  for (qx::skse::RegisterFunctionsCallback callback : ScriptExtender::Instance().papyrusRegistrations) {
    all = callback(Registry()) && all;
  }
  return all;
}

ScriptRegistry* Vm::Registry() { return reinterpret_cast<ScriptRegistry*>(&vm::gRegistry); }

const std::vector<IFunction*>& Vm::RegisteredFunctions() { return vm::gFunctions; }

IFunction* Vm::FindFunction(const std::string& className, const std::string& functionName) {
  using NameFn = StringCache::Ref* QX_THISCALL(IFunction*);
  for (IFunction* function : vm::gFunctions) {
    StringCache::Ref* name = vm::Slot<NameFn>(function, 1)(function);
    StringCache::Ref* owner = vm::Slot<NameFn>(function, 2)(function);
    if (name->data != nullptr && owner->data != nullptr && functionName == name->data &&
        className == owner->data) {
      return function;
    }
  }
  return nullptr;
}

bool Vm::CallRunSlot(IFunction* function, const std::vector<ScriptValue>& arguments, ScriptValue* result) {
  // The VM's stack: a few values of the caller, then the arguments, each holding its own
  // reference.
  std::vector<ScriptValue> stack(vm::kFrameOffset, Int(0x5717));
  for (const ScriptValue& argument : arguments) {
    stack.push_back(argument);
    vm::AddHeldReference(argument);
  }
  vm::SimArgumentFrame frame{stack.data(), static_cast<std::uint32_t>(stack.size()), vm::kFrameOffset};
  ScriptCallState state{reinterpret_cast<qx::papyrus::ScriptArgumentList*>(&frame)};
  ScriptValue base = Int(0x0BA5E);
  bool returned = vm::Slot<RunFn>(function, kFunctionSlot_Run)(function, &base, Registry(), 0x51AC,
                                                                result, &state);
  for (ScriptValue& value : stack) Release(value);
  return returned;
}

ScriptValue Vm::CallNative(const std::string& className, const std::string& functionName,
                           const std::vector<ScriptValue>& arguments) {
  IFunction* function = FindFunction(className, functionName);
  if (function == nullptr) vm::Unexpected(("no native " + className + "." + functionName).c_str());
  std::uint32_t count = function->parameterCount;
  if (count != arguments.size()) vm::Unexpected("a script passes exactly the declared arguments");
  ScriptValue result = None();
  if (!CallRunSlot(function, arguments, &result)) vm::Unexpected("a native's run slot returned false");
  return result;
}

const std::vector<ForwardedCall>& Vm::ForwardedCalls() { return vm::gForwarded; }
std::size_t Vm::BaseDestructorCalls() { return vm::gBaseDestructorCalls; }

}  // namespace sim
