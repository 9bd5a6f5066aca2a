#include "skse/PapyrusObjects.h"

#include "platform/Sleep.h"
#include "skse/GameHeap.h"

namespace qx::papyrus {
namespace {

constexpr unsigned kYieldingTries = 10001;  // Sleep(0) this often, then Sleep(1)

std::uint32_t Load(const ScriptObjectId* id) noexcept {
  return __atomic_load_n(&id->lockWord, __ATOMIC_SEQ_CST);
}

bool CompareAndSwap(ScriptObjectId* id, std::uint32_t expected, std::uint32_t desired) noexcept {
  return __atomic_compare_exchange_n(&id->lockWord, &expected, desired, false, __ATOMIC_SEQ_CST,
                                     __ATOMIC_SEQ_CST);
}

void Store(ScriptObjectId* id, std::uint32_t value) noexcept {
  __atomic_store_n(&id->lockWord, value, __ATOMIC_SEQ_CST);
}

// The lock word once no thread holds the lock.
std::uint32_t WaitUntilUnlocked(const ScriptObjectId* id) noexcept {
  unsigned tries = 0;
  for (;;) {
    std::uint32_t word = Load(id);
    if ((word & kIdentifierLocked) == 0) return word;
    platform::SleepMilliseconds(tries < kYieldingTries ? 0 : 1);
    if (tries < kYieldingTries) ++tries;
  }
}

void CallHandleRef(unsigned slot, const ScriptObjectId* id) noexcept {
  HandlePolicy* policy = GlobalHandlePolicy();
  host::VirtualSlot<HandleRefFn>(policy, slot)(policy, id->handleLow, id->handleHigh);
}

ScriptClassInfo* ClassOfFormType(ScriptRegistry* registry, std::uint32_t formType) noexcept {
  ScriptClassInfo* info = nullptr;
  bool found = RegistrySlot<ClassOfFormTypeFn>(registry, kRegistrySlot_ClassOfFormType)(
      registry, formType, &info);
  return found ? info : nullptr;
}

}  // namespace

std::uint32_t ClassTypeCode(ScriptRegistry* registry, std::uint32_t formType) noexcept {
  ScriptClassInfo* info = ClassOfFormType(registry, formType);
  if (info == nullptr) return 0;
  auto code = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info));
  ReleaseClassInfoRef(info);
  return code;
}

std::uint32_t LockIdentifier(ScriptObjectId* id) noexcept {
  for (;;) {
    std::uint32_t word = WaitUntilUnlocked(id);
    if (CompareAndSwap(id, word, word | kIdentifierLocked)) return word;
  }
}

void UnlockIdentifier(ScriptObjectId* id, std::uint32_t previous) noexcept { Store(id, previous); }

void IncrementIdentifierUse(ScriptObjectId* id) noexcept {
  for (;;) {
    std::uint32_t count = WaitUntilUnlocked(id);
    if (count == 1) {
      if (!CompareAndSwap(id, 1, kIdentifierLocked | 1)) continue;
      CallHandleRef(kHandleSlot_AddRef, id);
      Store(id, 2);
      return;
    }
    if (CompareAndSwap(id, count, count + 1)) return;
  }
}

void DecrementIdentifierUse(ScriptObjectId* id) noexcept {
  for (;;) {
    std::uint32_t count = WaitUntilUnlocked(id);
    if (count == 2) {
      if (!CompareAndSwap(id, 2, kIdentifierLocked | 2)) continue;
      CallHandleRef(kHandleSlot_Release, id);
      Store(id, 1);
      return;
    }
    if (!CompareAndSwap(id, count, count - 1)) continue;
    if (count - 1 == 0) {
      host::Routine<IdentifierDestroyFn>(kIdentifierDestroy)(id);
      game::GameHeapFree(id);
    }
    return;
  }
}

void* UnpackFormArg(const ScriptValue* value, std::uint32_t formType) noexcept {
  if (ClassifyType(value->type) != kType_Object) return nullptr;
  auto* id = static_cast<ScriptObjectId*>(value->Pointer());
  if (id == nullptr) return nullptr;

  std::uint32_t previous = LockIdentifier(id);
  std::uint64_t handle = id->Handle();
  UnlockIdentifier(id, previous);

  HandlePolicy* policy = GlobalHandlePolicy();
  if (!host::VirtualSlot<HandleIsTypeFn>(policy, kHandleSlot_IsType)(policy, formType, handle)) {
    return nullptr;
  }
  if (!host::VirtualSlot<HandleIsUsableFn>(policy, kHandleSlot_IsUsable)(policy, handle)) {
    return nullptr;
  }
  return host::VirtualSlot<HandleResolveFn>(policy, kHandleSlot_Resolve)(policy, formType, handle);
}

void BindObjectId(ScriptObjectId** slot, void* object, ScriptRegistry* registry,
                  HandlePolicy* policy, std::uint32_t formType) noexcept {
  ScriptClassInfo* info = (*slot)->classInfo;
  AddClassInfoRef(info);

  std::uint32_t typeId = 0;
  if (RegistrySlot<TypeIdOfNameFn>(registry, kRegistrySlot_TypeIdOfName)(registry, &info->name,
                                                                          &typeId)) {
    std::uint64_t handle =
        host::VirtualSlot<HandleCreateFn>(policy, kHandleSlot_Create)(policy, formType, object);
    bool ofType =
        host::VirtualSlot<HandleIsTypeFn>(policy, kHandleSlot_IsType)(policy, typeId, handle);
    if (ofType || handle == host::VirtualSlot<HandleInvalidFn>(policy, kHandleSlot_Invalid)(policy)) {
      BindPolicy* binder = RegistrySlot<BindPolicyFn>(registry, kRegistrySlot_BindPolicy)(registry);
      host::Routine<BindIdentifierFn>(kBindIdentifier)(binder, slot,
                                                       static_cast<std::uint32_t>(handle),
                                                       static_cast<std::uint32_t>(handle >> 32));
    }
  }
  ReleaseClassInfoRef(info);
}

void PackFormResult(ScriptValue* value, void* object, std::uint32_t formType,
                    ScriptRegistry* registry) noexcept {
  ClearValue(value);
  if (object == nullptr) return;
  std::uint32_t classCode = ClassTypeCode(registry, formType);
  if (classCode == 0) return;
  auto* info = reinterpret_cast<ScriptClassInfo*>(static_cast<std::uintptr_t>(classCode));

  HandlePolicy* policy = RegistrySlot<HandlePolicyFn>(registry, kRegistrySlot_HandlePolicy)(registry);
  std::uint64_t handle =
      host::VirtualSlot<HandleCreateFn>(policy, kHandleSlot_Create)(policy, formType, object);

  ScriptObjectId* id = nullptr;
  bool bound = RegistrySlot<BoundIdentifierFn>(registry, kRegistrySlot_BoundIdentifier)(
      registry, static_cast<std::uint32_t>(handle), static_cast<std::uint32_t>(handle >> 32),
      info->name.data, &id);
  if (!bound || id == nullptr) {
    id = nullptr;
    if (RegistrySlot<CreateIdentifierFn>(registry, kRegistrySlot_CreateIdentifier)(registry, &info->name,
                                                                                   &id) &&
        id != nullptr) {
      BindObjectId(&id, object, registry, policy, formType);
    } else {
      id = nullptr;
    }
  }
  if (id == nullptr) return;

  ScriptValue typed{classCode, 0};
  AssignValue(value, &typed);
  if (ClassifyType(value->type) == kType_Object) {
    ReleaseValue(value);
    IncrementIdentifierUse(id);
    value->data = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(id));
  }
  ReleaseValue(&typed);
  DecrementIdentifierUse(id);
}

void PackFormArray(ScriptValue* value, void* const* objects, std::uint32_t count,
                   std::uint32_t formType, ScriptRegistry* registry) noexcept {
  ClearValue(value);
  if (count == 0) return;
  ScriptArrayData* array = nullptr;
  if (!RegistrySlot<CreateArrayFn>(registry, kRegistrySlot_CreateArray)(registry, value, count,
                                                                        &array) ||
      array == nullptr) {
    return;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    PackFormResult(array->At(i), objects[i], formType, registry);
    array->At(i)->type = ClassTypeCode(registry, formType);
  }
  value->type = ClassTypeCode(registry, formType) | 1;
  value->data = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(array));
}

}  // namespace qx::papyrus
