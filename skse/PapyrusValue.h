#pragma once
// Script values as the game's Papyrus VM lays them out, and the VM routines that release,
// assign and fetch them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skse/GameStrings.h"
#include "skse/HostCall.h"

namespace qx::papyrus {

// Type codes of a ScriptValue. A code above kTypeLastPlain is the address of a class info
// (an object of that class), or that address OR 1 (an array of such objects).
enum TypeCode : std::uint32_t {
  kType_None = 0,
  kType_Object = 1,  // object identifier of unstated class
  kType_String = 2,
  kType_Int = 3,
  kType_Float = 4,
  kType_Bool = 5,
  kType_ObjectArray = 11,  // array of objects of unstated class
  kType_StringArray = 12,
  kType_IntArray = 13,
  kType_FloatArray = 14,
  kTypeLastPlain = 15,
};

// Reduces a class type code to kType_Object or kType_ObjectArray; other codes stay.
[[nodiscard]] constexpr std::uint32_t ClassifyType(std::uint32_t type) noexcept {
  if (type <= kTypeLastPlain) return type;
  return (type & 1) != 0 ? kType_ObjectArray : kType_Object;
}

struct ScriptValue {
  std::uint32_t type;  // 00 TypeCode or class type code
  std::uint32_t data;  // 04 int, float bits, bool (low byte), string entry, identifier or array

  [[nodiscard]] void* Pointer() const noexcept { return reinterpret_cast<void*>(data); }
};
static_assert(offsetof(ScriptValue, type) == 0x00);
static_assert(offsetof(ScriptValue, data) == 0x04);
static_assert(sizeof(ScriptValue) == 8);

struct ScriptArrayData {
  std::uint32_t unk00;     // 00 owned by the VM
  std::uint32_t unk04;     // 04 owned by the VM
  std::uint32_t count;     // 08 element count
  std::uint32_t unk0C;     // 0C
  std::uint32_t unk10;     // 10
  ScriptValue elements[1];  // 14 `count` values follow

  [[nodiscard]] ScriptValue* At(std::uint32_t i) noexcept { return elements + i; }
};
static_assert(offsetof(ScriptArrayData, count) == 0x08);
static_assert(offsetof(ScriptArrayData, elements) == 0x14);

// One class of the VM. Its reference count is shared with the VM's threads.
struct ScriptClassInfo {
  volatile std::uint32_t refCount;  // 00 atomic
  StringCache::Ref name;            // 04
};
static_assert(offsetof(ScriptClassInfo, refCount) == 0x00);
static_assert(offsetof(ScriptClassInfo, name) == 0x04);

struct ScriptArgumentList;  // the VM's, opaque
struct ScriptCallState {
  ScriptArgumentList* arguments;  // 00
};
static_assert(offsetof(ScriptCallState, arguments) == 0x00);

inline constexpr host::Address kValueRelease = 0x00C328E0;     // thiscall (): drop held data
inline constexpr host::Address kValueAssign = 0x00C329E0;      // thiscall (const ScriptValue*)
inline constexpr host::Address kArgumentOffset = 0x00C3A620;   // thiscall list (state) -> offset
inline constexpr host::Address kArgumentAt = 0x00C3AC40;       // thiscall list (state, i, offset)
inline constexpr host::Address kClassInfoDestroy = 0x00C34ED0; // thiscall class info ()

using ValueReleaseFn = void QX_THISCALL(ScriptValue* value);
using ValueAssignFn = void QX_THISCALL(ScriptValue* value, const ScriptValue* from);
using ArgumentOffsetFn = std::uint32_t QX_THISCALL(ScriptArgumentList* list, ScriptCallState* state);
using ArgumentAtFn = ScriptValue* QX_THISCALL(ScriptArgumentList* list, ScriptCallState* state,
                                              std::uint32_t index, std::uint32_t offset);
using ClassInfoDestroyFn = void QX_THISCALL(ScriptClassInfo* info);

inline void ReleaseValue(ScriptValue* value) noexcept {
  host::Routine<ValueReleaseFn>(kValueRelease)(value);
}
// Release, then none.
inline void ClearValue(ScriptValue* value) noexcept {
  ReleaseValue(value);
  value->type = kType_None;
  value->data = 0;
}
inline void AssignValue(ScriptValue* value, const ScriptValue* from) noexcept {
  host::Routine<ValueAssignFn>(kValueAssign)(value, from);
}
// Replaces what `value` holds with a string of `text` (the game's setter builds the entry).
inline void StoreString(ScriptValue* value, const char* text) noexcept {
  ClearValue(value);
  value->type = kType_String;
  game::SetStringRef(*reinterpret_cast<StringCache::Ref*>(&value->data), text);
}

// The class-info reference counting the VM expects: atomic, destroyed and freed at zero.
void AddClassInfoRef(ScriptClassInfo* info) noexcept;
void ReleaseClassInfoRef(ScriptClassInfo* info) noexcept;

// A float as a script's int: truncated toward zero, negative values as their signed 32-bit
// pattern; what no 32-bit pattern holds (NaN, below -2^31, 2^32 and above) gives 0.
[[nodiscard]] std::uint32_t TruncateToUnsigned(float value) noexcept;

// Unpacking one value by the type of the parameter it fills.
[[nodiscard]] std::uint32_t UnpackInt(const ScriptValue& value) noexcept;
[[nodiscard]] float UnpackFloat(const ScriptValue& value) noexcept;
[[nodiscard]] bool UnpackBool(const ScriptValue& value) noexcept;
// The string entry of a string value; null for every other type.
[[nodiscard]] inline const char* UnpackText(const ScriptValue& value) noexcept {
  return value.type == kType_String ? static_cast<const char*>(value.Pointer()) : nullptr;
}

template <typename T>
struct ArrayTypeCode;
template <>
struct ArrayTypeCode<StringCache::Ref> {
  static constexpr std::uint32_t value = kType_StringArray;
};
template <>
struct ArrayTypeCode<std::uint32_t> {
  static constexpr std::uint32_t value = kType_IntArray;
};
template <>
struct ArrayTypeCode<float> {
  static constexpr std::uint32_t value = kType_FloatArray;
};

// A script array argument: null when the script passed none or an array of another type.
template <typename T>
class VMArray {
 public:
  static constexpr std::uint32_t kTypeCode = ArrayTypeCode<T>::value;

  VMArray() = default;
  explicit VMArray(ScriptArrayData* data) noexcept : data_(data) {}

  [[nodiscard]] bool IsNone() const noexcept { return data_ == nullptr; }
  [[nodiscard]] std::uint32_t Length() const noexcept { return data_ != nullptr ? data_->count : 0; }
  [[nodiscard]] ScriptArrayData* Data() const noexcept { return data_; }
  // Element i by the element type's unpacking rule; callers check Length first.
  [[nodiscard]] ScriptValue* ValueAt(std::uint32_t i) const noexcept { return data_->At(i); }
  [[nodiscard]] std::uint32_t IntAt(std::uint32_t i) const noexcept { return UnpackInt(*ValueAt(i)); }
  [[nodiscard]] float FloatAt(std::uint32_t i) const noexcept { return UnpackFloat(*ValueAt(i)); }
  // The text of a string element; an element that holds no string reads as the empty text.
  [[nodiscard]] const char* TextAt(std::uint32_t i) const noexcept {
    const char* text = UnpackText(*ValueAt(i));
    return text != nullptr ? text : "";
  }

 private:
  ScriptArrayData* data_ = nullptr;
};
static_assert(sizeof(VMArray<float>) == 4);

// A list result: the implementation fills it, the binding turns it into a new script array.
template <typename T>
using VMResultArray = std::vector<T>;

}  // namespace qx::papyrus
