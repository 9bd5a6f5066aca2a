#include "sim/Actors.h"

#include <algorithm>
#include <memory>

#include "sim/GameRegion.h"
#include "sim/HostGlobals.h"
#include "sim/Magic.h"

namespace sim {
namespace {

using qx::game::ActiveEffect;
using qx::game::Actor;
using qx::game::SpellItem;

SimActor* FromActorValues(void* actorValues) {
  return static_cast<SimActor*>(reinterpret_cast<Actor*>(static_cast<char*>(actorValues) -
                                                          offsetof(Actor, actorValues)));
}

SimActor* FromMagicTarget(void* magicTarget) {
  return static_cast<SimActor*>(reinterpret_cast<Actor*>(static_cast<char*>(magicTarget) -
                                                          offsetof(Actor, magicTarget)));
}

float QX_THISCALL CurrentValue(void* actorValues, std::uint32_t index) {
  SimActor* actor = FromActorValues(actorValues);
  ++actor->currentReads;
  if (gOnActorValueRead != nullptr) gOnActorValueRead(actor);
  return index < qx::game::kActorValueCount ? actor->currentValue[index] : 0.0f;
}

float QX_THISCALL BaseMaximum(void* actorValues, std::uint32_t index) {
  SimActor* actor = FromActorValues(actorValues);
  ++actor->maximumReads;
  if (gOnActorValueRead != nullptr) gOnActorValueRead(actor);
  return index < qx::game::kActorValueCount ? actor->baseMaximum[index] : 0.0f;
}

float QX_THISCALL Modifier(Actor* self, std::uint32_t kind, std::uint32_t index) {
  auto* actor = static_cast<SimActor*>(self);
  ++actor->modifierReads;
  if (gOnActorValueRead != nullptr) gOnActorValueRead(actor);
  auto found = actor->modifiers.find({kind, index});
  return found != actor->modifiers.end() ? found->second : 0.0f;
}

qx::game::ActiveEffectNode* QX_THISCALL ActiveEffectList(void* magicTarget) {
  SimActor* actor = FromMagicTarget(magicTarget);
  return actor->hasEffectList ? &actor->head : nullptr;
}

bool QX_THISCALL HasSpell(Actor* self, SpellItem* spell) {
  auto* actor = static_cast<SimActor*>(self);
  return std::find(actor->spells.begin(), actor->spells.end(), spell) != actor->spells.end();
}

// The game makes the spell's active effects from its effect items as they are now.
bool QX_THISCALL AddSpell(Actor* self, SpellItem* spell) {
  auto* actor = static_cast<SimActor*>(self);
  if (spell == nullptr || HasSpell(self, spell)) return false;
  if (gOnAddSpell != nullptr) gOnAddSpell(actor, spell);
  actor->spells.push_back(spell);
  std::vector<ActiveEffect*> items = actor->ActiveEffects();
  std::vector<qx::game::EffectItem>& seen = actor->itemsAtAdd.emplace_back();
  for (std::uint32_t i = 0; i < spell->numEffects; ++i) {
    qx::game::EffectItem* item = spell->effects[i];
    seen.push_back(item != nullptr ? *item : qx::game::EffectItem{});
    if (item != nullptr) items.push_back(NewActiveEffect(spell, item));
  }
  actor->SetActiveEffects(items);
  return true;
}

bool QX_THISCALL RemoveSpell(Actor* self, SpellItem* spell) {
  auto* actor = static_cast<SimActor*>(self);
  auto found = std::find(actor->spells.begin(), actor->spells.end(), spell);
  if (found == actor->spells.end()) return false;
  actor->spells.erase(found);
  std::vector<ActiveEffect*> items = actor->ActiveEffects();
  std::erase_if(items, [spell](ActiveEffect* e) { return e != nullptr && e->item == spell; });
  actor->SetActiveEffects(items);
  return true;
}

void* QX_THISCALL UnusedSlot(void*) { return nullptr; }

void* const kActorValueTable[] = {
    reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&CurrentValue),
    reinterpret_cast<void*>(&BaseMaximum),
};
static_assert(qx::game::kActorValueSlot_Current == 1 && qx::game::kActorValueSlot_BaseMaximum == 2);

void* const kMagicTargetTable[] = {
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&UnusedSlot),
    reinterpret_cast<void*>(&UnusedSlot), reinterpret_cast<void*>(&ActiveEffectList),
};
static_assert(qx::game::kMagicTargetSlot_ActiveEffects == 7);

void* const kFormTable[] = {reinterpret_cast<void*>(&UnusedSlot)};

std::deque<std::unique_ptr<SimActor>>& KeptActors() {
  static std::deque<std::unique_ptr<SimActor>> kept;
  return kept;
}

std::deque<std::unique_ptr<qx::game::TESForm>>& KeptBaseForms() {
  static std::deque<std::unique_ptr<qx::game::TESForm>> kept;
  return kept;
}

}  // namespace

void SimActor::SetActorValue(std::uint32_t index, float maximum, float current, float temporaryModifier) {
  baseMaximum[index] = maximum;
  currentValue[index] = current;
  SetModifier(qx::game::kModifier_Temporary, index, temporaryModifier);
}

std::vector<ActiveEffect*> SimActor::ActiveEffects() const {
  std::vector<ActiveEffect*> items;
  if (head.item == nullptr && head.next == nullptr) return items;
  for (const qx::game::ActiveEffectNode* node = &head; node != nullptr; node = node->next) {
    items.push_back(node->item);
  }
  return items;
}

void SimActor::SetActiveEffects(const std::vector<ActiveEffect*>& items) {
  tail.clear();
  head = {};
  if (items.empty()) return;
  head.item = items[0];
  qx::game::ActiveEffectNode* last = &head;
  for (std::size_t i = 1; i < items.size(); ++i) {
    tail.push_back({items[i], nullptr});
    last->next = &tail.back();
    last = last->next;
  }
}

SimActor* NewActor(qx::game::FormID baseFormId, qx::game::FormID formId) {
  auto base = std::make_unique<qx::game::TESForm>();
  base->vtable = const_cast<void**>(kFormTable);
  base->formID = baseFormId;
  auto actor = std::make_unique<SimActor>();
  actor->vtable = const_cast<void**>(kFormTable);
  actor->formID = formId;
  actor->baseForm = base.get();
  actor->magicTarget.vtable = const_cast<void**>(kMagicTargetTable);
  actor->actorValues.vtable = const_cast<void**>(kActorValueTable);
  KeptBaseForms().push_back(std::move(base));
  KeptActors().push_back(std::move(actor));
  return KeptActors().back().get();
}

void SetPlayerCharacter(SimActor* actor) {
  SetSingleton<Actor>(qx::game::kPlayerCharacterSingleton, actor);
}

void PlaceActorRoutines() {
  PlaceRoutine(qx::game::kActorGetAVModifier, reinterpret_cast<const void*>(&Modifier));
  PlaceRoutine(qx::game::kActorHasSpell, reinterpret_cast<const void*>(&HasSpell));
  PlaceRoutine(qx::game::kActorRemoveSpell, reinterpret_cast<const void*>(&RemoveSpell));
  PlaceRoutine(qx::game::kActorAddSpell, reinterpret_cast<const void*>(&AddSpell));
}

}  // namespace sim
