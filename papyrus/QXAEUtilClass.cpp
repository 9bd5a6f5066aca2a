// QXAEUtil as the VM calls it: thin adapters from script arguments to the functions of
// papyrus/QXAEUtil.h and papyrus/ScaleAbilityEffects.h.
#include <optional>

#include "papyrus/QXAEUtil.h"
#include "papyrus/ScaleAbilityEffects.h"

namespace qx::papyrus {
namespace {

qxnsSKSE::ActorExtended* Extended(game::Actor* actor) {
  return static_cast<qxnsSKSE::ActorExtended*>(actor);
}

ScriptNumber NumberOf(const ScriptValue& value) {
  switch (value.type) {
    case kType_Int: return ScriptNumber::Int(static_cast<std::int32_t>(value.data));
    case kType_Float: return ScriptNumber::Float(UnpackFloat(value));
    case kType_Bool: return ScriptNumber::Bool((value.data & 0xFF) != 0);
    default: return ScriptNumber::Other();
  }
}

// A script number array's elements, each as it is; none stays none.
template <typename T>
std::optional<ScriptNumbers> NumbersOf(const VMArray<T>& array) {
  if (array.IsNone()) return std::nullopt;
  ScriptNumbers numbers;
  numbers.reserve(array.Length());
  for (std::uint32_t i = 0; i < array.Length(); ++i) numbers.push_back(NumberOf(*array.ValueAt(i)));
  return numbers;
}

template <typename T>
const ScriptNumbers* Pointer(const std::optional<T>& value) {
  return value ? &*value : nullptr;
}

std::uint32_t NumActiveEffects(StaticFunctionTag*, game::Actor* actor) {
  return GetNumActiveEffects(Extended(actor));
}

game::ActiveEffect* NthActiveEffect(StaticFunctionTag*, game::Actor* actor, std::uint32_t index) {
  return GetNthActiveEffect(Extended(actor), static_cast<std::int32_t>(index));
}

VMResultArray<game::ActiveEffect*> AllActiveEffects(StaticFunctionTag*, game::Actor* actor) {
  return GetAllActiveEffects(Extended(actor));
}

std::uint32_t EffectKeywordCount(StaticFunctionTag*, game::Actor* actor, game::BGSKeyword* keyword) {
  return GetEffectKeywordCount(Extended(actor), keyword);
}

bool ScaleAbility(StaticFunctionTag*, qxnsSKSE::ActorExtended* actor, game::SpellItem* spell,
                  VMArray<float> options, VMArray<std::uint32_t> magnitudeTypes,
                  VMArray<float> magnitudeOperands, VMArray<std::uint32_t> areaTypes,
                  VMArray<float> areaOperands, VMArray<std::uint32_t> durationTypes,
                  VMArray<float> durationOperands) {
  auto settings = NumbersOf(options);
  auto magnitude = std::pair{NumbersOf(magnitudeTypes), NumbersOf(magnitudeOperands)};
  auto area = std::pair{NumbersOf(areaTypes), NumbersOf(areaOperands)};
  auto duration = std::pair{NumbersOf(durationTypes), NumbersOf(durationOperands)};
  return ScaleAbilityEffects(actor, spell, Pointer(settings),
                             {Pointer(magnitude.first), Pointer(magnitude.second)},
                             {Pointer(area.first), Pointer(area.second)},
                             {Pointer(duration.first), Pointer(duration.second)});
}

const NativeFunctionDef kFunctions[] = {
    DefineNative("GetNumActiveEffects", &NumActiveEffects),
    DefineNative("GetNthActiveEffect", &NthActiveEffect),
    DefineNative("GetAllActiveEffects", &AllActiveEffects),
    DefineNative("GetEffectKeywordCount", &EffectKeywordCount),
    DefineNative("ScaleAbilityEffects", &ScaleAbility),
};

const NativeClassDef kClass{"QXAEUtil", kFunctions};

}  // namespace

const NativeClassDef& QXAEUtilClass() { return kClass; }

bool RegisterQXAEUtil(ScriptRegistry* registry) { return RegisterNativeClass(registry, kClass); }

}  // namespace qx::papyrus
