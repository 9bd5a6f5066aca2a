#pragma once
// Native functions as the game's Papyrus VM calls them: a 52-byte object from the game's
// heap whose first word is an explicit table of 23 thiscall operations. Slot 22 (run)
// fetches the arguments from the VM, unpacks them by the C++ parameter types, calls the
// plain implementation and packs its result. A script class is a table of
// NativeFunctionDef rows: name and implementation, with the type codes derived from the
// implementation's signature.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

#include "skse/GameFormTypes.h"
#include "skse/GameStrings.h"
#include "skse/PapyrusObjects.h"
#include "skse/PapyrusValue.h"
#include "skse/PapyrusVM.h"

struct StaticFunctionTag;  // the base of every global function; always passed as null

namespace qx::papyrus {

inline constexpr unsigned kFunctionSlotCount = 23;
inline constexpr unsigned kFunctionSlot_Run = 22;
using FunctionTable = std::array<const void*, kFunctionSlotCount>;

inline constexpr host::Address kFunctionConstruct = 0x00C46C00;   // thiscall (name, class, 1, count)
inline constexpr host::Address kFunctionBaseDestroy = 0x00C46AD0; // thiscall ()
inline constexpr host::Address kFunctionSlot6Host = 0x00C46F50;   // slots forwarded unchanged
inline constexpr host::Address kFunctionSlot15Host = 0x00C46CB0;
inline constexpr host::Address kFunctionSlot16Host = 0x00C46B10;
inline constexpr host::Address kFunctionSlot18Host = 0x00C46F60;

struct FunctionParameter {
  StringCache::Ref name;  // 00
  std::uint32_t type;     // 04
};
static_assert(sizeof(FunctionParameter) == 8);

struct IFunction {
  const FunctionTable* table;         // 00
  std::uint32_t unk04;                // 04 host constructor's
  StringCache::Ref name;              // 08
  StringCache::Ref className;         // 0C
  StringCache::Ref unk10;             // 10 host constructor's
  std::uint32_t resultType;           // 14
  FunctionParameter* parameters;      // 18 made by the host constructor
  std::uint16_t unk1C;                // 1C
  std::uint16_t parameterCount;       // 1E
  std::uint8_t unk20;                 // 20 flag set by the host constructor
  std::uint8_t unk21;                 // 21 flag of slots 19 and 20
  std::uint8_t pad22[2];              // 22
  std::uint32_t unk24;                // 24
  StringCache::Ref unk28;             // 28
  void* implementation;               // 2C plain function
  std::uint8_t passRegistry;          // 30 always 0 here
  std::uint8_t pad31[3];              // 31
};
using NativeFunctionObject = IFunction;
static_assert(offsetof(IFunction, table) == 0x00);
static_assert(offsetof(IFunction, unk04) == 0x04);
static_assert(offsetof(IFunction, name) == 0x08);
static_assert(offsetof(IFunction, className) == 0x0C);
static_assert(offsetof(IFunction, unk10) == 0x10);
static_assert(offsetof(IFunction, resultType) == 0x14);
static_assert(offsetof(IFunction, parameters) == 0x18);
static_assert(offsetof(IFunction, unk1C) == 0x1C);
static_assert(offsetof(IFunction, parameterCount) == 0x1E);
static_assert(offsetof(IFunction, unk20) == 0x20);
static_assert(offsetof(IFunction, unk21) == 0x21);
static_assert(offsetof(IFunction, unk24) == 0x24);
static_assert(offsetof(IFunction, unk28) == 0x28);
static_assert(offsetof(IFunction, implementation) == 0x2C);
static_assert(offsetof(IFunction, passRegistry) == 0x30);
static_assert(sizeof(IFunction) == 52);

using FunctionConstructFn = void QX_THISCALL(IFunction*, const char* name, const char* className,
                                             std::uint32_t one, std::uint32_t parameterCount);
using FunctionBaseDestroyFn = void QX_THISCALL(IFunction*);
using RunFn = bool QX_THISCALL(IFunction*, ScriptValue* base, ScriptRegistry* registry,
                               std::uint32_t stackId, ScriptValue* result, ScriptCallState* state);

// The tables of IFunction (every slot pure) and of NativeFunction (slots 0..21; slot 22 pure).
[[nodiscard]] const FunctionTable& PureFunctionTable();
[[nodiscard]] const FunctionTable& NativeFunctionTable();
// NativeFunction's table with `run` in slot 22: one per template instance.
[[nodiscard]] FunctionTable TableWithRun(RunFn* run);

// What a parameter or result is, as a script sees it: a plain type code, or a game object
// (or list of them) of a form type, whose code the registry decides at registration.
struct ScriptType {
  enum Kind : std::uint8_t { kPlain, kForm, kFormList };
  Kind kind = kPlain;
  std::uint32_t code = kType_None;  // kPlain
  std::uint32_t formType = 0;       // kForm, kFormList
};

template <typename T, typename = void>
struct ScriptTypeOf;
template <> struct ScriptTypeOf<void> { static constexpr ScriptType value{ScriptType::kPlain, kType_None, 0}; };
template <> struct ScriptTypeOf<StringCache::Ref> { static constexpr ScriptType value{ScriptType::kPlain, kType_String, 0}; };
template <> struct ScriptTypeOf<std::uint32_t> { static constexpr ScriptType value{ScriptType::kPlain, kType_Int, 0}; };
template <> struct ScriptTypeOf<float> { static constexpr ScriptType value{ScriptType::kPlain, kType_Float, 0}; };
template <> struct ScriptTypeOf<bool> { static constexpr ScriptType value{ScriptType::kPlain, kType_Bool, 0}; };
template <typename T>
struct ScriptTypeOf<VMArray<T>> {
  static constexpr ScriptType value{ScriptType::kPlain, VMArray<T>::kTypeCode, 0};
};
template <>
struct ScriptTypeOf<VMResultArray<StringCache::Ref>> {
  static constexpr ScriptType value{ScriptType::kPlain, kType_StringArray, 0};
};
template <typename T>
struct ScriptTypeOf<T*, std::void_t<decltype(game::FormTypeOf<T>::value)>> {
  static constexpr ScriptType value{ScriptType::kForm, 0, game::FormTypeOf<T>::value};
};
template <typename T>
struct ScriptTypeOf<VMResultArray<T*>, std::void_t<decltype(game::FormTypeOf<T>::value)>> {
  static constexpr ScriptType value{ScriptType::kFormList, 0, game::FormTypeOf<T>::value};
};

// The type code a registry gives a script type.
[[nodiscard]] std::uint32_t ResolveTypeCode(ScriptRegistry* registry, const ScriptType& type) noexcept;

// Writes the strings as a new script string array; an empty list gives none. The list is
// emptied.
void PackStringArray(ScriptValue* value, VMResultArray<StringCache::Ref>& list,
                     ScriptRegistry* registry) noexcept;

namespace binding {

template <typename T>
[[nodiscard]] T Unpack(const ScriptValue* value) noexcept {
  if constexpr (std::is_same_v<T, std::uint32_t>) {
    return UnpackInt(*value);
  } else if constexpr (std::is_same_v<T, float>) {
    return UnpackFloat(*value);
  } else if constexpr (std::is_same_v<T, bool>) {
    return UnpackBool(*value);
  } else if constexpr (std::is_same_v<T, StringCache::Ref>) {
    StringCache::Ref ref{nullptr};
    game::SetStringRef(ref, UnpackText(*value));
    return ref;
  } else if constexpr (ScriptTypeOf<T>::value.kind == ScriptType::kForm) {
    return static_cast<T>(UnpackFormArg(value, ScriptTypeOf<T>::value.formType));
  } else {
    bool matches = value->type == T::kTypeCode && value->data != 0;
    return T(matches ? static_cast<ScriptArrayData*>(value->Pointer()) : nullptr);
  }
}

template <typename R>
void Pack(ScriptValue* result, R& returned, ScriptRegistry* registry) noexcept {
  if constexpr (std::is_same_v<R, VMResultArray<StringCache::Ref>>) {
    PackStringArray(result, returned, registry);
    R().swap(returned);
  } else if constexpr (ScriptTypeOf<R>::value.kind == ScriptType::kFormList) {
    PackFormArray(result, reinterpret_cast<void* const*>(returned.data()),
                  static_cast<std::uint32_t>(returned.size()), ScriptTypeOf<R>::value.formType,
                  registry);
    R().swap(returned);
  } else if constexpr (ScriptTypeOf<R>::value.kind == ScriptType::kForm) {
    PackFormResult(result, static_cast<void*>(returned), ScriptTypeOf<R>::value.formType, registry);
  } else {
    ClearValue(result);
    if constexpr (std::is_same_v<R, std::uint32_t>) {
      result->type = kType_Int;
      result->data = returned;
    } else if constexpr (std::is_same_v<R, float>) {
      result->type = kType_Float;
      std::memcpy(&result->data, &returned, sizeof returned);
    } else if constexpr (std::is_same_v<R, bool>) {
      result->type = kType_Bool;
      result->data = returned ? 1 : 0;
    } else {
      static_assert(std::is_same_v<R, StringCache::Ref>);
      result->type = kType_String;
      game::SetStringRef(*reinterpret_cast<StringCache::Ref*>(&result->data), returned.data);
    }
  }
}

// Logs that the implementation of `self` ended with an exception.
void ReportException(const IFunction* self, const char* what) noexcept;

// What a call that failed hands the script: none, 0, 0.0, false or "".
template <typename R>
void PackNeutral(ScriptValue* result, ScriptRegistry* registry) noexcept {
  if constexpr (std::is_void_v<R>) {
    ClearValue(result);
  } else if constexpr (std::is_same_v<R, StringCache::Ref>) {
    StringCache::Ref empty{""};
    Pack<R>(result, empty, registry);
  } else {
    R neutral{};
    Pack<R>(result, neutral, registry);
  }
}

template <typename R, typename... A, std::size_t... I>
bool Run(IFunction* self, ScriptRegistry* registry, std::uint32_t stackId, ScriptValue* result,
         ScriptCallState* state, std::index_sequence<I...>) noexcept {
  ScriptArgumentList* list = state->arguments;
  std::uint32_t offset = host::Routine<ArgumentOffsetFn>(kArgumentOffset)(list, state);
  ArgumentAtFn* argumentAt = host::Routine<ArgumentAtFn>(kArgumentAt);
  // Braced initialisation fetches and unpacks the arguments in order.
  std::tuple<A...> arguments{Unpack<A>(argumentAt(list, state, I, offset))...};
  auto call = [&]() -> R {
    if (self->passRegistry != 0) {
      auto* impl = reinterpret_cast<R (*)(ScriptRegistry*, std::uint32_t, StaticFunctionTag*, A...)>(
          self->implementation);
      return impl(registry, stackId, nullptr, std::get<I>(arguments)...);
    }
    auto* impl = reinterpret_cast<R (*)(StaticFunctionTag*, A...)>(self->implementation);
    return impl(nullptr, std::get<I>(arguments)...);
  };
  // Nothing may unwind into the VM: an implementation that throws (a std::bad_alloc near
  // the end of the game's address space) fails like any other call.
  try {
    if constexpr (std::is_void_v<R>) {
      call();
      ClearValue(result);
    } else {
      R returned = call();
      Pack<R>(result, returned, registry);
    }
  } catch (const std::exception& error) {
    ReportException(self, error.what());
    PackNeutral<R>(result, registry);
  } catch (...) {
    ReportException(self, "an exception of unknown type");
    PackNeutral<R>(result, registry);
  }
  return true;
}

template <typename R, typename... A>
bool QX_THISCALL RunSlot(IFunction* self, ScriptValue* /*base*/, ScriptRegistry* registry,
                         std::uint32_t stackId, ScriptValue* result, ScriptCallState* state) {
  return Run<R, A...>(self, registry, stackId, result, state, std::index_sequence_for<A...>{});
}

}  // namespace binding

// The template instance for a signature: its own table, differing only in slot 22.
template <typename R, typename... A>
struct NativeFunction {
  static const FunctionTable& Table() {
    static const FunctionTable table = TableWithRun(&binding::RunSlot<R, A...>);
    return table;
  }
};
template <typename Base, typename R> using NativeFunction0 = NativeFunction<R>;
template <typename Base, typename R, typename A1> using NativeFunction1 = NativeFunction<R, A1>;
template <typename Base, typename R, typename A1, typename A2>
using NativeFunction2 = NativeFunction<R, A1, A2>;
template <typename Base, typename R, typename A1, typename A2, typename A3>
using NativeFunction3 = NativeFunction<R, A1, A2, A3>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4>
using NativeFunction4 = NativeFunction<R, A1, A2, A3, A4>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4, typename A5>
using NativeFunction5 = NativeFunction<R, A1, A2, A3, A4, A5>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4, typename A5,
          typename A6>
using NativeFunction6 = NativeFunction<R, A1, A2, A3, A4, A5, A6>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4, typename A5,
          typename A6, typename A7>
using NativeFunction7 = NativeFunction<R, A1, A2, A3, A4, A5, A6, A7>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4, typename A5,
          typename A6, typename A7, typename A8>
using NativeFunction8 = NativeFunction<R, A1, A2, A3, A4, A5, A6, A7, A8>;
template <typename Base, typename R, typename A1, typename A2, typename A3, typename A4, typename A5,
          typename A6, typename A7, typename A8, typename A9>
using NativeFunction9 = NativeFunction<R, A1, A2, A3, A4, A5, A6, A7, A8, A9>;

inline constexpr std::size_t kMaxParameters = 9;

// One row of a script class: everything registration needs and script sources describe.
struct NativeFunctionDef {
  const char* name;
  void* implementation;
  const FunctionTable* (*table)();
  std::uint16_t parameterCount;
  std::array<ScriptType, kMaxParameters> parameters;
  ScriptType result;
};

struct NativeClassDef {
  const char* className;
  std::span<const NativeFunctionDef> functions;
};

template <typename R, typename... A>
[[nodiscard]] NativeFunctionDef DefineNative(const char* name, R (*implementation)(StaticFunctionTag*, A...)) {
  static_assert(sizeof...(A) <= kMaxParameters);
  return NativeFunctionDef{name, reinterpret_cast<void*>(implementation),
                           [] { return &NativeFunction<R, A...>::Table(); },
                           static_cast<std::uint16_t>(sizeof...(A)),
                           {ScriptTypeOf<A>::value...},
                           ScriptTypeOf<R>::value};
}

// Builds and registers one object per function, in table order. Always true.
bool RegisterNativeClass(ScriptRegistry* registry, const NativeClassDef& scriptClass) noexcept;

}  // namespace qx::papyrus
