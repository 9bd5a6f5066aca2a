// Classes, game objects, handles and object identifiers of the VM stand-in.
#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "sim/GameRegion.h"
#include "sim/VmHeap.h"
#include "sim/VmState.h"
#include "sim/VmStrings.h"

namespace sim {
namespace vm {
namespace {

using namespace qx::papyrus;

constexpr std::uint64_t kInvalidHandle = 0x0000FFFF00000000ull;

struct ObjectState {
  std::recursive_mutex lock;
  std::map<std::uint32_t, ScriptClassInfo*> classes;  // by form type
  std::map<std::string, std::uint32_t> typeIds;      // class name -> form type
  std::map<const void*, std::uint64_t> handles;
  struct HeldObject {
    void* object;
    std::uint32_t formType;
  };
  std::map<std::uint64_t, HeldObject> objects;
  std::map<std::uint64_t, bool> unloaded;
  std::map<std::uint64_t, std::int32_t> handleReferences;
  std::map<std::pair<std::uint64_t, std::string>, ScriptObjectId*> bound;
  std::size_t destroyedClasses = 0;
  std::size_t destroyedIdentifiers = 0;
  std::size_t createdIdentifiers = 0;
  std::uint32_t nextSerial = 1;
  bool failIdentifiers = false;
};

ObjectState& State() {
  static ObjectState& state = *new ObjectState;  // outlives every static destructor
  return state;
}

struct PolicyObject {
  const void* const* table;
};
std::array<const void*, 16> gHandleTable{};
PolicyObject gHandlePolicy{gHandleTable.data()};
struct BindObject {
  std::uint32_t unk00;
} gBindPolicy{0};

std::uint64_t Handle(std::uint32_t low, std::uint32_t high) {
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

// Handle policy operations.
bool QX_THISCALL IsType(PolicyObject*, std::uint32_t formType, std::uint64_t handle) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto found = State().objects.find(handle);
  return found != State().objects.end() && found->second.formType == formType;
}
bool QX_THISCALL IsUsable(PolicyObject*, std::uint64_t handle) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  return State().objects.count(handle) != 0 && !State().unloaded[handle];
}
std::uint64_t QX_THISCALL Invalid(PolicyObject*) { return kInvalidHandle; }
std::uint64_t QX_THISCALL Create(PolicyObject*, std::uint32_t formType, void* object) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto found = State().handles.find(object);
  if (found == State().handles.end()) return kInvalidHandle;
  if (State().objects[found->second].formType != formType) return kInvalidHandle;
  return found->second;
}
void* QX_THISCALL Resolve(PolicyObject* policy, std::uint32_t formType, std::uint64_t handle) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  if (!IsType(policy, formType, handle) || !IsUsable(policy, handle)) return nullptr;
  return State().objects[handle].object;
}
void QX_THISCALL AddRef(PolicyObject*, std::uint32_t low, std::uint32_t high) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  ++State().handleReferences[Handle(low, high)];
}
void QX_THISCALL ReleaseRef(PolicyObject*, std::uint32_t low, std::uint32_t high) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  if (--State().handleReferences[Handle(low, high)] < 0) Unexpected("a handle lost more references than it had");
}
void QX_THISCALL UnusedPolicySlot(PolicyObject*) { Unexpected("an unused handle policy slot was called"); }

void DestroyClassInfoNow(ScriptClassInfo* info) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  ++State().destroyedClasses;
  (void)info;
}
void QX_THISCALL DestroyClassInfo(ScriptClassInfo* info) { DestroyClassInfoNow(info); }

void ReleaseClass(ScriptClassInfo* info) {
  if (__atomic_sub_fetch(&info->refCount, 1, __ATOMIC_SEQ_CST) == 0) {
    DestroyClassInfoNow(info);
    VmHeap::Free(info);
  }
}

void QX_THISCALL DestroyIdentifier(ScriptObjectId* id) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  for (auto it = State().bound.begin(); it != State().bound.end(); ++it) {
    if (it->second == id) {
      State().bound.erase(it);
      break;
    }
  }
  ++State().destroyedIdentifiers;
  ReleaseClass(id->classInfo);
  id->classInfo = nullptr;
}

void QX_THISCALL Bind(BindObject* policy, ScriptObjectId** slot, std::uint32_t low, std::uint32_t high) {
  if (policy != &gBindPolicy) Unexpected("bind called on something else than the bind policy");
  ScriptObjectId* id = *slot;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    id->handleLow = low;
    id->handleHigh = high;
    State().bound[{Handle(low, high), id->classInfo->name.data}] = id;
  }
  IncrementUse(id);  // the binding holds the identifier
}

std::uint32_t WaitUnlocked(ScriptObjectId* id) {
  for (unsigned tries = 0;; ++tries) {
    std::uint32_t word = __atomic_load_n(&id->lockWord, __ATOMIC_SEQ_CST);
    if ((word & kIdentifierLocked) == 0) return word;
    std::this_thread::yield();
  }
}

bool Swap(ScriptObjectId* id, std::uint32_t expected, std::uint32_t desired) {
  return __atomic_compare_exchange_n(&id->lockWord, &expected, desired, false, __ATOMIC_SEQ_CST,
                                     __ATOMIC_SEQ_CST);
}

void CallRef(bool add, ScriptObjectId* id) {
  if (add) {
    AddRef(&gHandlePolicy, id->handleLow, id->handleHigh);
  } else {
    ReleaseRef(&gHandlePolicy, id->handleLow, id->handleHigh);
  }
}

}  // namespace

void IncrementUse(ScriptObjectId* id) {
  for (;;) {
    std::uint32_t count = WaitUnlocked(id);
    if (count == 1) {
      if (!Swap(id, 1, kIdentifierLocked | 1)) continue;
      CallRef(true, id);
      __atomic_store_n(&id->lockWord, 2, __ATOMIC_SEQ_CST);
      return;
    }
    if (Swap(id, count, count + 1)) return;
  }
}

void DecrementUse(ScriptObjectId* id) {
  for (;;) {
    std::uint32_t count = WaitUnlocked(id);
    if (count == 0) Unexpected("an identifier without uses lost one");
    if (count == 2) {
      if (!Swap(id, 2, kIdentifierLocked | 2)) continue;
      CallRef(false, id);
      __atomic_store_n(&id->lockWord, 1, __ATOMIC_SEQ_CST);
      return;
    }
    if (!Swap(id, count, count - 1)) continue;
    if (count == 1) {
      DestroyIdentifier(id);
      VmHeap::Free(id);
    }
    return;
  }
}

bool QX_THISCALL ClassOfFormType(ScriptRegistry*, std::uint32_t formType, ScriptClassInfo** out) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto found = State().classes.find(formType);
  if (found == State().classes.end()) return false;
  __atomic_add_fetch(&found->second->refCount, 1, __ATOMIC_SEQ_CST);
  *out = found->second;
  return true;
}

bool QX_THISCALL TypeIdOfName(ScriptRegistry*, const StringCache::Ref* name, std::uint32_t* out) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  auto found = State().typeIds.find(name->data != nullptr ? name->data : "");
  if (found == State().typeIds.end()) return false;
  *out = found->second;
  return true;
}

bool QX_THISCALL CreateIdentifier(ScriptRegistry*, const StringCache::Ref* name, ScriptObjectId** out) {
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  *out = nullptr;
  if (State().failIdentifiers) return false;
  auto type = State().typeIds.find(name->data != nullptr ? name->data : "");
  if (type == State().typeIds.end()) return false;
  ScriptClassInfo* info = State().classes[type->second];
  auto* id = static_cast<ScriptObjectId*>(VmHeap::Allocate(0x20));
  if (id == nullptr) return false;  // the heap is exhausted: no identifier
  __atomic_add_fetch(&info->refCount, 1, __ATOMIC_SEQ_CST);
  id->classInfo = info;
  id->handleLow = static_cast<std::uint32_t>(kInvalidHandle);
  id->handleHigh = static_cast<std::uint32_t>(kInvalidHandle >> 32);
  id->lockWord = 1;
  ++State().createdIdentifiers;
  *out = id;
  return true;
}

bool QX_THISCALL BoundIdentifier(ScriptRegistry*, std::uint32_t low, std::uint32_t high,
                                 const char* className, ScriptObjectId** out) {
  ScriptObjectId* id = nullptr;
  {
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    auto found = State().bound.find({Handle(low, high), className != nullptr ? className : ""});
    if (found == State().bound.end()) return false;
    id = found->second;
  }
  IncrementUse(id);  // the caller's reference
  *out = id;
  return true;
}

qx::papyrus::HandlePolicy* QX_THISCALL GetHandlePolicy(ScriptRegistry*) {
  return reinterpret_cast<qx::papyrus::HandlePolicy*>(&gHandlePolicy);
}

qx::papyrus::BindPolicy* QX_THISCALL GetBindPolicy(ScriptRegistry*) {
  return reinterpret_cast<qx::papyrus::BindPolicy*>(&gBindPolicy);
}

void PlaceObjectRoutines() {
  gHandleTable.fill(reinterpret_cast<const void*>(&UnusedPolicySlot));
  gHandleTable[kHandleSlot_IsType] = reinterpret_cast<const void*>(&IsType);
  gHandleTable[kHandleSlot_IsUsable] = reinterpret_cast<const void*>(&IsUsable);
  gHandleTable[kHandleSlot_Invalid] = reinterpret_cast<const void*>(&Invalid);
  gHandleTable[kHandleSlot_Create] = reinterpret_cast<const void*>(&Create);
  gHandleTable[kHandleSlot_Resolve] = reinterpret_cast<const void*>(&Resolve);
  gHandleTable[kHandleSlot_AddRef] = reinterpret_cast<const void*>(&AddRef);
  gHandleTable[kHandleSlot_Release] = reinterpret_cast<const void*>(&ReleaseRef);
  GameGlobal<void*>(kHandlePolicyPointer) = &gHandlePolicy;
  PlaceRoutine(kClassInfoDestroy, reinterpret_cast<const void*>(&DestroyClassInfo));
  PlaceRoutine(kIdentifierDestroy, reinterpret_cast<const void*>(&DestroyIdentifier));
  PlaceRoutine(kBindIdentifier, reinterpret_cast<const void*>(&Bind));

  // The VM's classes of the game object types scripts exchange with natives.
  const std::pair<std::uint32_t, const char*> kClasses[] = {
      {0x04, "Keyword"}, {0x16, "Spell"}, {0x1B, "Book"}, {0x3E, "Actor"},
      {0x80, "SoundDescriptor"}, {0x8B, "ActiveMagicEffect"}};
  std::lock_guard<std::recursive_mutex> guard(State().lock);
  for (const auto& [formType, name] : kClasses) {
    auto* info = static_cast<ScriptClassInfo*>(VmHeap::Allocate(0x40));
    info->refCount = 1;  // the VM's own
    info->name.data = VmStrings::Intern(name);
    State().classes[formType] = info;
    State().typeIds[name] = formType;
  }
}

}  // namespace vm

ScriptValue Vm::Object(SimForm* object) {
  return object == nullptr ? None() : Object(object, object->formType);
}

ScriptValue Vm::Object(void* object, std::uint32_t formType) {
  if (object == nullptr) return None();
  ScriptClassInfo* info = ClassOf(formType);
  if (info == nullptr) vm::Unexpected("an object of a type without class");
  std::uint64_t handle = Adopt(object, formType);
  ScriptObjectId* id = BoundIdentifier(handle, formType);
  if (id == nullptr) {
    vm::CreateIdentifier(Registry(), &info->name, &id);
    ScriptObjectId* slot = id;
    vm::Bind(&vm::gBindPolicy, &slot, static_cast<std::uint32_t>(handle),
             static_cast<std::uint32_t>(handle >> 32));
  } else {
    vm::IncrementUse(id);
  }
  // The local reference becomes the value's.
  return {static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info)),
          static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(id))};
}

void* Vm::GameObjectOf(const ScriptValue& value) {
  if (value.type <= 15 || (value.type & 1) != 0 || value.data == 0) return nullptr;
  auto* id = reinterpret_cast<ScriptObjectId*>(static_cast<std::uintptr_t>(value.data));
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  auto found = vm::State().objects.find(id->Handle());
  return found != vm::State().objects.end() ? found->second.object : nullptr;
}

ScriptClassInfo* Vm::ClassOf(std::uint32_t formType) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  auto found = vm::State().classes.find(formType);
  return found != vm::State().classes.end() ? found->second : nullptr;
}

ScriptClassInfo* Vm::ForgetClass(std::uint32_t formType) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  ScriptClassInfo* info = ClassOf(formType);
  vm::State().classes.erase(formType);
  return info;
}

void Vm::RestoreClass(std::uint32_t formType, ScriptClassInfo* info) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  if (info != nullptr) vm::State().classes[formType] = info;
}

std::size_t Vm::DestroyedClassInfos() { return vm::State().destroyedClasses; }

SimForm* Vm::NewForm(std::uint32_t formType, std::uint32_t formId) {
  auto* object = new SimForm{};
  object->form.formID = formId;
  object->formType = formType;
  (void)Adopt(object, formType);
  return object;
}

std::uint64_t Vm::Adopt(void* object, std::uint32_t formType) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  auto [found, added] = vm::State().handles.try_emplace(object, 0);
  if (added) {
    found->second = (static_cast<std::uint64_t>(formType) << 32) | vm::State().nextSerial++;
    vm::State().objects[found->second] = {object, formType};
  }
  return found->second;
}

void Vm::Unload(const void* object) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  vm::State().unloaded[HandleOf(object)] = true;
}

std::uint64_t Vm::HandleOf(const void* object) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  auto found = vm::State().handles.find(object);
  return found != vm::State().handles.end() ? found->second : vm::kInvalidHandle;
}

std::int32_t Vm::HandleReferences(std::uint64_t handle) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  return vm::State().handleReferences[handle];
}

ScriptObjectId* Vm::BoundIdentifier(std::uint64_t handle, std::uint32_t formType) {
  std::lock_guard<std::recursive_mutex> guard(vm::State().lock);
  ScriptClassInfo* info = ClassOf(formType);
  if (info == nullptr) return nullptr;
  auto found = vm::State().bound.find({handle, info->name.data});
  return found != vm::State().bound.end() ? found->second : nullptr;
}

std::uint32_t Vm::UseCount(const ScriptObjectId* id) {
  return __atomic_load_n(&id->lockWord, __ATOMIC_SEQ_CST) & ~qx::papyrus::kIdentifierLocked;
}

std::size_t Vm::DestroyedIdentifiers() { return vm::State().destroyedIdentifiers; }
std::size_t Vm::IdentifiersCreated() { return vm::State().createdIdentifiers; }

void Vm::FailIdentifierCreation(bool fail) { vm::State().failIdentifiers = fail; }

}  // namespace sim
