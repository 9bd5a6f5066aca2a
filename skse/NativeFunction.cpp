#include "skse/NativeFunction.h"

#include "common/IDebugLog.h"
#include "skse/GameHeap.h"

// Slots 6, 15, 16 and 18 hand the object and the VM's arguments to the game's own routine
// untouched: a jump, so the routine returns straight to the VM.
extern "C" {
[[gnu::used]] const std::uintptr_t qxFunctionSlot6Host asm("qxFunctionSlot6Host") =
    qx::papyrus::kFunctionSlot6Host;
[[gnu::used]] const std::uintptr_t qxFunctionSlot15Host asm("qxFunctionSlot15Host") =
    qx::papyrus::kFunctionSlot15Host;
[[gnu::used]] const std::uintptr_t qxFunctionSlot16Host asm("qxFunctionSlot16Host") =
    qx::papyrus::kFunctionSlot16Host;
[[gnu::used]] const std::uintptr_t qxFunctionSlot18Host asm("qxFunctionSlot18Host") =
    qx::papyrus::kFunctionSlot18Host;
}

namespace qx::papyrus {
namespace {

__attribute__((naked)) void ForwardSlot6() {
  asm(".intel_syntax noprefix\n jmp dword ptr [qxFunctionSlot6Host]\n .att_syntax prefix\n");
}
__attribute__((naked)) void ForwardSlot15() {
  asm(".intel_syntax noprefix\n jmp dword ptr [qxFunctionSlot15Host]\n .att_syntax prefix\n");
}
__attribute__((naked)) void ForwardSlot16() {
  asm(".intel_syntax noprefix\n jmp dword ptr [qxFunctionSlot16Host]\n .att_syntax prefix\n");
}
__attribute__((naked)) void ForwardSlot18() {
  asm(".intel_syntax noprefix\n jmp dword ptr [qxFunctionSlot18Host]\n .att_syntax prefix\n");
}

// A pure operation of IFunction: reaching one is a broken object.
void PureCall() { IDebugLog::AssertFailed(__FILE__, __LINE__, "pure virtual function called"); }

void* QX_THISCALL Destroy(IFunction* self, std::uint32_t flags) {
  self->table = &NativeFunctionTable();
  host::Routine<FunctionBaseDestroyFn>(kFunctionBaseDestroy)(self);
  self->table = &PureFunctionTable();
  if ((flags & 1) != 0) game::GameHeapFree(self);
  return self;
}
StringCache::Ref* QX_THISCALL GetName(IFunction* self) { return &self->name; }
StringCache::Ref* QX_THISCALL GetClassName(IFunction* self) { return &self->className; }
StringCache::Ref* QX_THISCALL GetThirdName(IFunction* self) { return &self->unk10; }
std::uint32_t* QX_THISCALL GetResultType(IFunction* self, std::uint32_t* out) {
  *out = self->resultType;
  return out;
}
std::uint32_t QX_THISCALL GetParameterCount(IFunction* self) { return self->parameterCount; }
bool QX_THISCALL ReturnTrue(IFunction*) { return true; }
// The VM's flags at 0x20 and 0x21 travel as the bytes it stored, whatever their value.
std::uint8_t QX_THISCALL GetFlag20(IFunction* self) { return self->unk20; }
bool QX_THISCALL ReturnFalse(IFunction*) { return false; }
std::uint32_t QX_THISCALL ReturnZero(IFunction*) { return 0; }
std::uint32_t QX_THISCALL GetWord24(IFunction* self) { return self->unk24; }
StringCache::Ref* QX_THISCALL GetFourthName(IFunction* self) { return &self->unk28; }
void QX_THISCALL Ignore(IFunction*, std::uint32_t) {}
bool QX_THISCALL Slot17(IFunction*, std::uint32_t, std::uint32_t* out) {
  *out = 0;
  return false;
}
std::uint8_t QX_THISCALL GetFlag21(IFunction* self) { return self->unk21; }
// The bool arrives as the low byte of its argument word.
void QX_THISCALL SetFlag21(IFunction* self, std::uint32_t value) {
  self->unk21 = static_cast<std::uint8_t>(value);
}
bool QX_THISCALL HasImplementation(IFunction* self) { return self->implementation != nullptr; }

template <typename Fn>
const void* Entry(Fn* fn) {
  return reinterpret_cast<const void*>(fn);
}

FunctionTable MakeNativeTable() {
  FunctionTable t{};
  t[0] = Entry(&Destroy);
  t[1] = Entry(&GetName);
  t[2] = Entry(&GetClassName);
  t[3] = Entry(&GetThirdName);
  t[4] = Entry(&GetResultType);
  t[5] = Entry(&GetParameterCount);
  t[6] = Entry(&ForwardSlot6);
  t[7] = Entry(&GetParameterCount);
  t[8] = Entry(&ReturnTrue);
  t[9] = Entry(&GetFlag20);
  t[10] = Entry(&ReturnFalse);
  t[11] = Entry(&ReturnZero);
  t[12] = Entry(&GetWord24);
  t[13] = Entry(&GetFourthName);
  t[14] = Entry(&Ignore);
  t[15] = Entry(&ForwardSlot15);
  t[16] = Entry(&ForwardSlot16);
  t[17] = Entry(&Slot17);
  t[18] = Entry(&ForwardSlot18);
  t[19] = Entry(&GetFlag21);
  t[20] = Entry(&SetFlag21);
  t[21] = Entry(&HasImplementation);
  t[22] = Entry(&PureCall);
  return t;
}

// Builds one object from the game's heap and hands it to the registry.
void RegisterFunction(ScriptRegistry* registry, const char* className, const NativeFunctionDef& def) {
  auto* self = static_cast<IFunction*>(game::GameHeapAllocate(sizeof(IFunction)));
  if (self == nullptr) {
    LogMessage("QX Papyrus: the game's heap has no room for function %s.%s; it is not registered",
               className, def.name);
    return;
  }
  self->name.data = nullptr;
  self->className.data = nullptr;
  self->unk10.data = nullptr;
  self->unk28.data = nullptr;
  self->table = &NativeFunctionTable();
  host::Routine<FunctionConstructFn>(kFunctionConstruct)(self, def.name, className, 1,
                                                         def.parameterCount);
  if (def.parameterCount != 0 && self->parameters == nullptr) {
    // The constructor found no room for the parameter table: the half-built object goes
    // back to the game's heap, as the VM's release of it would.
    LogMessage("QX Papyrus: the game's heap has no room for function %s.%s; it is not registered",
               className, def.name);
    Destroy(self, 1);
    return;
  }
  self->table = def.table();
  self->implementation = def.implementation;
  self->passRegistry = 0;
  for (std::uint16_t i = 0; i < def.parameterCount; ++i) {
    self->parameters[i].type = ResolveTypeCode(registry, def.parameters[i]);
  }
  self->resultType = ResolveTypeCode(registry, def.result);
  RegistrySlot<RegisterFunctionFn>(registry, kRegistrySlot_RegisterFunction)(registry, self);
}

}  // namespace

namespace binding {

void ReportException(const IFunction* self, const char* what) noexcept {
  const char* className = self->className.data != nullptr ? self->className.data : "";
  const char* name = self->name.data != nullptr ? self->name.data : "";
  LogMessage("QX Papyrus: %s.%s failed (%s); the script receives its neutral result", className,
             name, what != nullptr ? what : "");
}

}  // namespace binding

const FunctionTable& PureFunctionTable() {
  static const FunctionTable table = [] {
    FunctionTable t{};
    t.fill(Entry(&PureCall));
    return t;
  }();
  return table;
}

const FunctionTable& NativeFunctionTable() {
  static const FunctionTable table = MakeNativeTable();
  return table;
}

FunctionTable TableWithRun(RunFn* run) {
  FunctionTable t = NativeFunctionTable();
  t[kFunctionSlot_Run] = Entry(run);
  return t;
}

std::uint32_t ResolveTypeCode(ScriptRegistry* registry, const ScriptType& type) noexcept {
  switch (type.kind) {
    case ScriptType::kPlain:
      return type.code;
    case ScriptType::kForm:
      return ClassTypeCode(registry, type.formType);
    case ScriptType::kFormList:
      return ClassTypeCode(registry, type.formType) | 1;
  }
  return 0;
}

void PackStringArray(ScriptValue* value, VMResultArray<StringCache::Ref>& list,
                     ScriptRegistry* registry) noexcept {
  ClearValue(value);
  ScriptArrayData* array = nullptr;
  if (list.empty() ||
      !RegistrySlot<CreateArrayFn>(registry, kRegistrySlot_CreateArray)(
          registry, value, static_cast<std::uint32_t>(list.size()), &array) ||
      array == nullptr) {
    list.clear();
    return;
  }
  for (std::uint32_t i = 0; i < list.size(); ++i) StoreString(array->At(i), list[i].data);
  value->type = kType_StringArray;
  value->data = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(array));
  list.clear();
}

bool RegisterNativeClass(ScriptRegistry* registry, const NativeClassDef& scriptClass) noexcept {
  for (const NativeFunctionDef& def : scriptClass.functions) {
    RegisterFunction(registry, scriptClass.className, def);
  }
  return true;
}

}  // namespace qx::papyrus
