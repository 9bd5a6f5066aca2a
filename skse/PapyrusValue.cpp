#include "skse/PapyrusValue.h"

#include <cstring>

#include "skse/GameHeap.h"

namespace qx::papyrus {

void AddClassInfoRef(ScriptClassInfo* info) noexcept {
  __atomic_add_fetch(&info->refCount, 1, __ATOMIC_SEQ_CST);
}

void ReleaseClassInfoRef(ScriptClassInfo* info) noexcept {
  if (__atomic_sub_fetch(&info->refCount, 1, __ATOMIC_SEQ_CST) == 0) {
    host::Routine<ClassInfoDestroyFn>(kClassInfoDestroy)(info);
    game::GameHeapFree(info);
  }
}

std::uint32_t TruncateToUnsigned(float value) noexcept {
  if (!(value >= -2147483648.0f && value < 4294967296.0f)) return 0;
  if (value < 0) return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
  return static_cast<std::uint32_t>(value);
}

std::uint32_t UnpackInt(const ScriptValue& value) noexcept {
  switch (value.type) {
    case kType_Int:
      return value.data;
    case kType_Float: {
      float f;
      std::memcpy(&f, &value.data, sizeof f);
      return TruncateToUnsigned(f);
    }
    case kType_Bool:
      return (value.data & 0xFF) != 0 ? 1 : 0;
    default:
      return 0;
  }
}

float UnpackFloat(const ScriptValue& value) noexcept {
  switch (value.type) {
    case kType_Int:
      return static_cast<float>(static_cast<std::int32_t>(value.data));
    case kType_Float: {
      float f;
      std::memcpy(&f, &value.data, sizeof f);
      return f;
    }
    case kType_Bool:
      return (value.data & 0xFF) != 0 ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

bool UnpackBool(const ScriptValue& value) noexcept {
  switch (value.type) {
    case kType_Int:
      return value.data != 0;
    case kType_Float: {
      float f;
      std::memcpy(&f, &value.data, sizeof f);
      return f != 0.0f;  // a NaN is unequal to everything: true
    }
    case kType_Bool:
      return (value.data & 0xFF) != 0;
    default:
      return false;
  }
}

}  // namespace qx::papyrus
