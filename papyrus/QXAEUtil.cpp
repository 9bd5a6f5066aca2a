#include "papyrus/QXAEUtil.h"

#include <optional>

#include "papyrus/effects/ScaleAbilityEffects.h"

namespace qx::papyrus {
namespace {

game::ActiveEffectNode* ListOf(qxnsSKSE::ActorExtended* actor) noexcept {
  return actor != nullptr ? actor->ActiveEffectList() : nullptr;
}

bool CarriesKeyword(game::EffectSetting* mgef, game::BGSKeyword* keyword) noexcept {
  return host::VirtualSlot<game::KeywordFormHasKeywordFn>(
      &mgef->keywordForm, game::kKeywordFormSlot_HasKeyword)(&mgef->keywordForm, keyword);
}

}  // namespace

std::uint32_t GetNumActiveEffects(qxnsSKSE::ActorExtended* actor) noexcept {
  std::uint32_t count = 0;
  for (auto* node = ListOf(actor); node != nullptr && node->item != nullptr; node = node->next) {
    ++count;
  }
  return count;
}

game::ActiveEffect* GetNthActiveEffect(qxnsSKSE::ActorExtended* actor, std::int32_t index) noexcept {
  auto wanted = static_cast<std::uint32_t>(index);
  std::uint32_t at = 0;
  for (auto* node = ListOf(actor); node != nullptr && node->item != nullptr; node = node->next) {
    if (at++ == wanted) return node->item;
  }
  return nullptr;
}

std::vector<game::ActiveEffect*> GetAllActiveEffects(qxnsSKSE::ActorExtended* actor) {
  std::vector<game::ActiveEffect*> effects;
  for (auto* node = ListOf(actor); node != nullptr && node->item != nullptr; node = node->next) {
    effects.push_back(node->item);
  }
  return effects;
}

std::uint32_t GetEffectKeywordCount(qxnsSKSE::ActorExtended* actor, game::BGSKeyword* keyword) noexcept {
  if (keyword == nullptr) return 0;  // no effect carries "no keyword"
  std::uint32_t count = 0;
  for (auto* node = ListOf(actor); node != nullptr; node = node->next) {
    game::ActiveEffect* effect = node->item;
    if (effect == nullptr || effect->effect == nullptr || effect->effect->mgef == nullptr) continue;
    if (CarriesKeyword(effect->effect->mgef, keyword)) ++count;
  }
  return count;
}

// ---- the class as the VM calls it: thin adapters from script arguments --------------

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
