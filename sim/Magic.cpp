#include "sim/Magic.h"

#include <deque>
#include <memory>
#include <mutex>

#include "sim/Forms.h"
#include "sim/Rtti.h"

namespace sim {
namespace {

bool QX_THISCALL HasKeywordStandIn(qx::game::BGSKeywordForm* form, qx::game::BGSKeyword* keyword) {
  for (std::uint32_t i = 0; i < form->numKeywords; ++i) {
    if (form->keywords[i] == keyword) return true;
  }
  return false;
}

void* QX_THISCALL UnusedSlot(void*) { return nullptr; }

void* const kKeywordFormTable[] = {
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&HasKeywordStandIn),
};
static_assert(qx::game::kKeywordFormSlot_HasKeyword == 4);

// The game makes active effects on whatever thread adds a spell.
std::mutex& MagicLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

// The objects' own tables carry the game's type records, as the plugin's class checks read them.
void* TableOf(const char* className) {
  std::lock_guard<std::mutex> lock(MagicLock());
  return GameClass(className).VTable();
}

template <typename T>
T* Keep() {
  static std::deque<std::unique_ptr<T>> kept;
  std::lock_guard<std::mutex> lock(MagicLock());
  kept.push_back(std::make_unique<T>());
  return kept.back().get();
}

}  // namespace

qx::game::BGSKeyword* NewEffectKeyword(qx::game::FormID formId) { return MakeKeyword(formId); }

SimMagicEffect* NewMagicEffect(qx::game::FormID formId,
                               std::initializer_list<qx::game::BGSKeyword*> keywords) {
  auto* effect = Keep<SimMagicEffect>();
  effect->vtable = TableOf("EffectSetting");
  effect->formID = formId;
  effect->keywordStore.assign(keywords);
  effect->keywordForm.vtable = const_cast<void**>(kKeywordFormTable);
  effect->keywordForm.keywords = effect->keywordStore.data();
  effect->keywordForm.numKeywords = static_cast<std::uint32_t>(effect->keywordStore.size());
  return effect;
}

SimSpell* NewSpell(qx::game::FormID formId, std::uint32_t spellType,
                   const std::vector<std::optional<EffectItemValues>>& effects) {
  auto* spell = Keep<SimSpell>();
  spell->vtable = TableOf("SpellItem");
  spell->formID = formId;
  spell->spellType = spellType;
  for (const auto& values : effects) {
    qx::game::EffectItem* item = nullptr;
    if (values) {
      item = Keep<qx::game::EffectItem>();
      *item = qx::game::EffectItem{values->magnitude, values->area, values->duration, values->mgef, 0,
                                   values->entryId};
    }
    spell->effectStore.push_back(item);
  }
  spell->effects = spell->effectStore.data();
  spell->numEffects = static_cast<std::uint32_t>(spell->effectStore.size());
  return spell;
}

SimActiveEffect* NewActiveEffect(qx::game::MagicItem* spell, qx::game::EffectItem* item) {
  auto* effect = Keep<SimActiveEffect>();
  effect->vtable = TableOf("ActiveEffect");
  effect->item = spell;
  effect->effect = item;
  if (item != nullptr) {
    effect->magnitude = item->magnitude;
    effect->duration = static_cast<float>(item->duration);
  }
  return effect;
}

}  // namespace sim
