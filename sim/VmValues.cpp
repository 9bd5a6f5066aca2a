// Values, arrays and argument lists of the VM stand-in.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/GameRegion.h"
#include "sim/VmHeap.h"
#include "sim/VmState.h"
#include "sim/VmStrings.h"

namespace sim {
namespace vm {
namespace {

using qx::papyrus::ClassifyType;
using namespace qx::papyrus;

bool gFailArrays = false;

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

void ReleaseArray(ScriptArrayData* array) {
  if (__atomic_sub_fetch(&array->unk00, 1, __ATOMIC_SEQ_CST) != 0) return;
  for (std::uint32_t i = 0; i < array->count; ++i) DropHeldReference(*array->At(i));
  VmHeap::Free(array);
}

void QX_THISCALL Release(ScriptValue* value) { DropHeldReference(*value); }

void QX_THISCALL Assign(ScriptValue* value, const ScriptValue* from) {
  ScriptValue copy = *from;
  AddHeldReference(copy);
  DropHeldReference(*value);
  *value = copy;
}

// The argument list: a frame of values whose arguments start at a fixed offset.
struct ArgumentFrame {
  ScriptValue* values;
  std::uint32_t count;
  std::uint32_t offset;
};

std::uint32_t QX_THISCALL ArgumentOffset(ScriptArgumentList* list, ScriptCallState* state) {
  if (state == nullptr || reinterpret_cast<ScriptArgumentList*>(state->arguments) != list) {
    Unexpected("argument offset asked with a call state that does not hold the list");
  }
  return reinterpret_cast<ArgumentFrame*>(list)->offset;
}

ScriptValue* QX_THISCALL ArgumentAt(ScriptArgumentList* list, ScriptCallState* state,
                                    std::uint32_t index, std::uint32_t offset) {
  auto* frame = reinterpret_cast<ArgumentFrame*>(list);
  if (state == nullptr || state->arguments != list || offset != frame->offset ||
      offset + index >= frame->count) {
    Unexpected("argument fetched outside the frame or with a wrong offset");
  }
  return frame->values + offset + index;
}

}  // namespace

void AddHeldReference(const ScriptValue& value) {
  if (value.data == 0) return;
  std::uint32_t kind = ClassifyType(value.type);
  if (kind == kType_Object) {
    IncrementUse(static_cast<ScriptObjectId*>(value.Pointer()));
  } else if (kind >= kType_ObjectArray && kind <= kType_FloatArray) {
    __atomic_add_fetch(&static_cast<ScriptArrayData*>(value.Pointer())->unk00, 1, __ATOMIC_SEQ_CST);
  }
}

void DropHeldReference(ScriptValue& value) {
  std::uint32_t kind = ClassifyType(value.type);
  if (value.data != 0) {
    if (kind == kType_Object) {
      DecrementUse(static_cast<ScriptObjectId*>(value.Pointer()));
    } else if (kind >= kType_ObjectArray && kind <= kType_FloatArray) {
      ReleaseArray(static_cast<ScriptArrayData*>(value.Pointer()));
    }
  }
  if (kind == kType_String) VmStrings::Released(&value.data);
  value.data = 0;  // the type stays, as the game's release leaves it
}

bool QX_THISCALL CreateArray(ScriptRegistry*, ScriptValue*, std::uint32_t count, ScriptArrayData** out) {
  *out = nullptr;
  if (gFailArrays) return false;
  auto* array = static_cast<ScriptArrayData*>(VmHeap::Allocate(0x14 + 8 * count));
  if (array == nullptr) return false;  // the heap is exhausted: no array
  array->unk00 = 1;
  array->count = count;
  *out = array;
  return true;
}

void PlaceValueRoutines() {
  PlaceRoutine(kValueRelease, reinterpret_cast<const void*>(&Release));
  PlaceRoutine(kValueAssign, reinterpret_cast<const void*>(&Assign));
  PlaceRoutine(kArgumentOffset, reinterpret_cast<const void*>(&ArgumentOffset));
  PlaceRoutine(kArgumentAt, reinterpret_cast<const void*>(&ArgumentAt));
}

[[noreturn]] void Unexpected(const char* what) {
  std::fprintf(stderr, "sim VM: %s\n", what);
  std::fflush(stderr);
  std::abort();
}

}  // namespace vm

using namespace qx::papyrus;

ScriptValue Vm::None() { return {kType_None, 0}; }
ScriptValue Vm::Int(std::int32_t value) { return {kType_Int, static_cast<std::uint32_t>(value)}; }
ScriptValue Vm::Float(float value) {
  ScriptValue v{kType_Float, 0};
  std::memcpy(&v.data, &value, sizeof value);
  return v;
}
ScriptValue Vm::Bool(bool value) { return {kType_Bool, value ? 1u : 0u}; }
ScriptValue Vm::String(const std::string& text) {
  return {kType_String, vm::Word(VmStrings::Intern(text))};
}

ScriptValue Vm::Array(std::uint32_t typeCode, const std::vector<ScriptValue>& elements) {
  ScriptArrayData* array = nullptr;
  bool failing = vm::gFailArrays;
  vm::gFailArrays = false;
  vm::CreateArray(Registry(), nullptr, static_cast<std::uint32_t>(elements.size()), &array);
  vm::gFailArrays = failing;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    *array->At(static_cast<std::uint32_t>(i)) = elements[i];
    vm::AddHeldReference(elements[i]);
  }
  return {typeCode, vm::Word(array)};
}

ScriptValue Vm::StringArray(const std::vector<std::string>& texts) {
  std::vector<ScriptValue> elements;
  for (const std::string& text : texts) elements.push_back(String(text));
  return Array(kType_StringArray, elements);
}

std::string Vm::Text(const ScriptValue& value) {
  if (value.type != kType_String) return "<not a string>";
  return value.data != 0 ? static_cast<const char*>(value.Pointer()) : "<null>";
}

std::vector<std::string> Vm::Texts(const ScriptValue& array) {
  std::vector<std::string> texts;
  if (ClassifyType(array.type) < kType_ObjectArray || array.data == 0) return texts;
  auto* data = static_cast<ScriptArrayData*>(array.Pointer());
  for (std::uint32_t i = 0; i < data->count; ++i) texts.push_back(Text(*data->At(i)));
  return texts;
}

float Vm::FloatOf(const ScriptValue& value) {
  float f;
  std::memcpy(&f, &value.data, sizeof f);
  return f;
}

void Vm::Release(ScriptValue& value) {
  vm::DropHeldReference(value);
  value.type = kType_None;
}

void Vm::FailArrayCreation(bool fail) { vm::gFailArrays = fail; }

}  // namespace sim
