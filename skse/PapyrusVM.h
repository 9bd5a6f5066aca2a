#pragma once
// The game's Papyrus VM as the plugin calls it: registry slots, the object-handle policy,
// the bind policy, and object identifiers. Every slot is thiscall on the named object.
#include <cstddef>
#include <cstdint>

#include "skse/HostCall.h"
#include "skse/PapyrusValue.h"

struct ScriptRegistry;  // the VM's registry; its first word is its table of operations

namespace qx::papyrus {

struct IFunction;

// Registry slots.
inline constexpr unsigned kRegistrySlot_ClassOfFormType = 10;  // (formType, ClassInfo** out) -> bool
inline constexpr unsigned kRegistrySlot_TypeIdOfName = 13;     // (const Ref* name, u32* out) -> bool
inline constexpr unsigned kRegistrySlot_CreateIdentifier = 20; // (const Ref* name, Id** out) -> bool
inline constexpr unsigned kRegistrySlot_CreateArray = 21;      // (value, count, Array** out) -> bool
inline constexpr unsigned kRegistrySlot_RegisterFunction = 23; // (IFunction*)
inline constexpr unsigned kRegistrySlot_BoundIdentifier = 27;  // (lo, hi, const char* class, Id** out) -> bool
inline constexpr unsigned kRegistrySlot_HandlePolicy = 44;     // () -> HandlePolicy*
inline constexpr unsigned kRegistrySlot_BindPolicy = 46;       // () -> BindPolicy*

struct ScriptObjectId {
  std::uint32_t unk00;               // 00
  ScriptClassInfo* classInfo;        // 04
  std::uint32_t unk08;               // 08
  std::uint32_t unk0C;               // 0C
  std::uint32_t handleLow;           // 10
  std::uint32_t handleHigh;          // 14
  volatile std::uint32_t lockWord;   // 18 bit 31 locked, bits 0-30 use count

  [[nodiscard]] std::uint64_t Handle() const noexcept {
    return (static_cast<std::uint64_t>(handleHigh) << 32) | handleLow;
  }
};
static_assert(offsetof(ScriptObjectId, classInfo) == 0x04);
static_assert(offsetof(ScriptObjectId, handleLow) == 0x10);
static_assert(offsetof(ScriptObjectId, handleHigh) == 0x14);
static_assert(offsetof(ScriptObjectId, lockWord) == 0x18);

inline constexpr std::uint32_t kIdentifierLocked = 0x80000000;
inline constexpr host::Address kIdentifierDestroy = 0x00C30E90;  // thiscall id ()
inline constexpr host::Address kBindIdentifier = 0x00C2BCD0;     // thiscall bindPolicy (Id** slot, lo, hi)
inline constexpr host::Address kHandlePolicyPointer = 0x01BA7008;  // HandlePolicy*

struct HandlePolicy;  // first word: its table
struct BindPolicy;

// Handle policy slots.
inline constexpr unsigned kHandleSlot_IsType = 1;      // (formType, u64 handle) -> bool
inline constexpr unsigned kHandleSlot_IsUsable = 2;    // (u64 handle) -> bool
inline constexpr unsigned kHandleSlot_Invalid = 3;     // () -> u64
inline constexpr unsigned kHandleSlot_Create = 4;      // (formType, void* object) -> u64
inline constexpr unsigned kHandleSlot_Resolve = 8;     // (formType, u64 handle) -> void*
inline constexpr unsigned kHandleSlot_AddRef = 9;      // (lo, hi)
inline constexpr unsigned kHandleSlot_Release = 10;    // (lo, hi)

using ClassOfFormTypeFn = bool QX_THISCALL(ScriptRegistry*, std::uint32_t formType, ScriptClassInfo** out);
using TypeIdOfNameFn = bool QX_THISCALL(ScriptRegistry*, const StringCache::Ref* name, std::uint32_t* out);
using CreateIdentifierFn = bool QX_THISCALL(ScriptRegistry*, const StringCache::Ref* name, ScriptObjectId** out);
using CreateArrayFn = bool QX_THISCALL(ScriptRegistry*, ScriptValue* value, std::uint32_t count,
                                       ScriptArrayData** out);
using RegisterFunctionFn = void QX_THISCALL(ScriptRegistry*, IFunction* function);
using BoundIdentifierFn = bool QX_THISCALL(ScriptRegistry*, std::uint32_t low, std::uint32_t high,
                                           const char* className, ScriptObjectId** out);
using HandlePolicyFn = HandlePolicy* QX_THISCALL(ScriptRegistry*);
using BindPolicyFn = BindPolicy* QX_THISCALL(ScriptRegistry*);

using HandleIsTypeFn = bool QX_THISCALL(HandlePolicy*, std::uint32_t formType, std::uint64_t handle);
using HandleIsUsableFn = bool QX_THISCALL(HandlePolicy*, std::uint64_t handle);
using HandleInvalidFn = std::uint64_t QX_THISCALL(HandlePolicy*);
using HandleCreateFn = std::uint64_t QX_THISCALL(HandlePolicy*, std::uint32_t formType, void* object);
using HandleResolveFn = void* QX_THISCALL(HandlePolicy*, std::uint32_t formType, std::uint64_t handle);
using HandleRefFn = void QX_THISCALL(HandlePolicy*, std::uint32_t low, std::uint32_t high);

using IdentifierDestroyFn = void QX_THISCALL(ScriptObjectId*);
using BindIdentifierFn = void QX_THISCALL(BindPolicy*, ScriptObjectId** slot, std::uint32_t low,
                                          std::uint32_t high);

template <typename Fn>
[[nodiscard]] inline Fn* RegistrySlot(ScriptRegistry* registry, unsigned slot) noexcept {
  return host::VirtualSlot<Fn>(registry, slot);
}

[[nodiscard]] inline HandlePolicy* GlobalHandlePolicy() noexcept {
  return host::Global<HandlePolicy*>(kHandlePolicyPointer);
}

// The class type code of a form type: the class info's address, or 0 when the registry has
// no class for it. The reference the lookup hands out is dropped at once.
[[nodiscard]] std::uint32_t ClassTypeCode(ScriptRegistry* registry, std::uint32_t formType) noexcept;

}  // namespace qx::papyrus
