#pragma once
// Magic as the game lays it out: keywords, magic effects with their keyword lists, spells
// with their effect items, and the active effects the game makes from them.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "skse/GameMagic.h"

namespace sim {

// A magic effect whose keyword list answers HasKeyword (slot 4) from its keyword array.
struct SimMagicEffect : qx::game::EffectSetting {
  std::vector<qx::game::BGSKeyword*> keywordStore;
};

struct SimSpell : qx::game::SpellItem {
  std::vector<qx::game::EffectItem*> effectStore;
};

struct SimActiveEffect : qx::game::ActiveEffect {};

// One effect item of a new spell; no value makes a null entry in the spell's list.
struct EffectItemValues {
  float magnitude = 0.0f;
  std::uint32_t area = 0;
  std::uint32_t duration = 0;
  qx::game::EffectSetting* mgef = nullptr;
  std::uint32_t entryId = 0;
};

// Objects live until the process ends; their tables carry the game's type records
// (sim/Rtti.h). A keyword is the one MakeKeyword (sim/Forms.h) builds.
[[nodiscard]] qx::game::BGSKeyword* NewEffectKeyword(qx::game::FormID formId);
[[nodiscard]] SimMagicEffect* NewMagicEffect(qx::game::FormID formId,
                                             std::initializer_list<qx::game::BGSKeyword*> keywords = {});
[[nodiscard]] SimSpell* NewSpell(qx::game::FormID formId, std::uint32_t spellType,
                                 const std::vector<std::optional<EffectItemValues>>& effects);
// An active effect as the game makes it from `item` of `spell` (magnitude and duration copied).
[[nodiscard]] SimActiveEffect* NewActiveEffect(qx::game::MagicItem* spell, qx::game::EffectItem* item);

}  // namespace sim
