#include "papyrus/QXAEUtil.h"

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

}  // namespace qx::papyrus
