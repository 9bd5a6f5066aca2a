#pragma once
// Actors as the game lays them out: the magic target at 0x54 (slot 7: the active-effect
// list), the actor-value interface at 0x60 (slot 1 current value, slot 2 maximum without the
// temporary modifier), the state word at 0x68; plus the game's member routines for actor
// value modifiers (0x006DE980) and spells (0x006EC120 add, 0x006EAFE0 remove, 0x006EAF10
// has). What the simulated game keeps about an actor follows the game's part.
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "skse/GameActor.h"
#include "skse/GameActorValues.h"
#include "skse/GameMagic.h"

namespace sim {

struct SimActor : qx::game::Actor {
  std::array<float, qx::game::kActorValueCount> currentValue{};
  std::array<float, qx::game::kActorValueCount> baseMaximum{};
  std::map<std::pair<std::uint32_t, std::uint32_t>, float> modifiers;  // (kind, index)
  bool hasEffectList = true;  // false: slot 7 gives null, as during an area transition
  std::vector<qx::game::SpellItem*> spells;
  // The spell's effect items as they stood at each add, in order.
  std::vector<std::vector<qx::game::EffectItem>> itemsAtAdd;

  // How often the game was asked, so tests see what the plugin read (hits may read one
  // actor from several threads at once).
  std::atomic<int> currentReads = 0;
  std::atomic<int> maximumReads = 0;
  std::atomic<int> modifierReads = 0;

  // The active-effect list: its head node, then nodes kept here.
  qx::game::ActiveEffectNode head{};
  std::deque<qx::game::ActiveEffectNode> tail;

  // Health and the like in one go: slot-2 maximum, temporary modifier and current value.
  void SetActorValue(std::uint32_t index, float maximum, float current, float temporaryModifier = 0.0f);
  void SetModifier(std::uint32_t kind, std::uint32_t index, float value) { modifiers[{kind, index}] = value; }

  // The list's items in order; a null item ends the counted part but not the list.
  [[nodiscard]] std::vector<qx::game::ActiveEffect*> ActiveEffects() const;
  void SetActiveEffects(const std::vector<qx::game::ActiveEffect*>& items);
};

// Called on every read of an actor value or modifier, when set.
inline void (*gOnActorValueRead)(SimActor* actor) = nullptr;
// Called when the game adds a spell to an actor, before it makes the spell's active effects.
inline void (*gOnAddSpell)(SimActor* actor, qx::game::SpellItem* spell) = nullptr;

// A new actor whose base form has `baseFormId` (objects live until the process ends).
[[nodiscard]] SimActor* NewActor(qx::game::FormID baseFormId, qx::game::FormID formId = 0xFF000800);
// Makes `actor` the player character (the global at 0x01B2E8E4); null clears it.
void SetPlayerCharacter(SimActor* actor);

void PlaceActorRoutines();

}  // namespace sim
