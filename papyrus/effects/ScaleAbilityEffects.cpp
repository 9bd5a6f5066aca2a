#include "papyrus/effects/ScaleAbilityEffects.h"

#include <array>
#include <mutex>
#include <vector>

#include "common/IDebugLog.h"

namespace qx::papyrus {
namespace {

// Magnitude, area and duration of an effect, as floats.
using Triple = std::array<float, 3>;

// What an effect item held before the call, restored exactly afterwards.
struct SavedEffect {
  float magnitude;
  std::uint32_t area;
  std::uint32_t duration;
  [[nodiscard]] Triple AsTriple() const {
    return {magnitude, static_cast<float>(area), static_cast<float>(duration)};
  }
};

void* AsPointer(std::uint32_t formId) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(formId)); }

// The table's arithmetic is the game's single precision, rounded after every operation, so
// that no build keeps a wider intermediate between two terms.
float Single(float value) {
  volatile float rounded = value;
  return rounded;
}

// Left to right: (cur + E) + V up, (cur - E) - V down; a missing term counts as 0.
float Sum(float current, std::optional<float> extra, std::optional<float> operand, bool up) {
  float e = extra.value_or(0.0f), v = operand.value_or(0.0f);
  float partial = Single(up ? current + e : current - e);
  return Single(up ? partial + v : partial - v);
}

float Divisor(std::optional<float> v) { return v && *v != 0.0f ? *v : 1.0f; }

// Up: multiplied by each present operand; down: divided by V, then by E.
float Product(float current, std::optional<float> extra, std::optional<float> operand, bool up) {
  if (up) return Single(Single(current * extra.value_or(1.0f)) * operand.value_or(1.0f));
  return Single(Single(current / Divisor(operand)) / Divisor(extra));
}

std::vector<std::optional<SavedEffect>> SaveEffects(const game::SpellItem& spell) {
  std::vector<std::optional<SavedEffect>> saved;
  for (std::uint32_t i = 0; i < spell.numEffects; ++i) {
    const game::EffectItem* item = spell.effects[i];
    if (item == nullptr) {
      saved.emplace_back();
    } else {
      saved.push_back(SavedEffect{item->magnitude, item->area, item->duration});
    }
  }
  return saved;
}

bool SameEntry(const game::EffectItem& a, const game::EffectItem& b) {
  return a.mgef != nullptr && b.mgef != nullptr && a.mgef->formID == b.mgef->formID &&
         a.entryId == b.entryId;
}

// For each effect index of the spell, the values of the actor's active effects made from it.
struct CurrentValues {
  std::vector<std::vector<Triple>> entries;
  bool empty = true;

  [[nodiscard]] const Triple* FirstOf(std::size_t i) const {
    return !empty && i < entries.size() && !entries[i].empty() ? &entries[i].front() : nullptr;
  }
};

CurrentValues CollectCurrentValues(qxnsSKSE::ActorExtended& actor, game::SpellItem& spell) {
  CurrentValues current;
  current.entries.resize(spell.numEffects);
  for (auto* node = actor.ActiveEffectList(); node != nullptr; node = node->next) {
    game::ActiveEffect* effect = node->item;
    if (effect == nullptr || effect->item != &spell || effect->effect == nullptr) continue;
    if ((effect->flags & game::kActiveEffectFlag_Ignored) != 0) continue;
    for (std::uint32_t i = 0; i < spell.numEffects; ++i) {
      const game::EffectItem* item = spell.effects[i];
      if (item == nullptr || item->mgef == nullptr || !SameEntry(*effect->effect, *item)) continue;
      current.entries[i].push_back(
          {effect->magnitude, static_cast<float>(effect->effect->area), effect->duration});
      current.empty = false;
    }
  }
  return current;
}

// A line the scaling has to log. It is written after the scaling lock is released, so that
// lock is never held while waiting for the log's.
struct ScalingNote {
  enum Kind { kNullEffect, kIllegalType } kind;
  std::uint32_t value;  // the spell's form ID, or the scale type

  void Log() const {
    if (kind == kNullEffect) {
      LogMessage("QX Scale Ability Effects: skipping scaling due to null effect on spell %p", AsPointer(value));
    } else {
      LogMessage("QX Scale Ability Effects: illegal scale type %d", static_cast<int>(value));
    }
  }
};
using ScalingNotes = std::vector<ScalingNote>;

struct ScalingPass {
  ScalingNotes& notes;
  game::SpellItem& spell;
  const ScriptNumbers& options;
  const std::vector<std::optional<SavedEffect>>& saved;
  const CurrentValues& current;
  bool up;
  bool first;

  // The values effect i is scaled from: its first active effect's, else what it held.
  [[nodiscard]] std::optional<Triple> BaseOf(std::size_t i) const {
    if (const Triple* live = current.FirstOf(i)) return *live;
    if (i < saved.size() && saved[i]) return saved[i]->AsTriple();
    return std::nullopt;
  }

  void ScaleComponent(std::size_t k, std::uint32_t i, std::size_t j, ScalingRules rules) const {
    if (i >= spell.numEffects || spell.effects[i] == nullptr) {
      notes.push_back({ScalingNote::kNullEffect, spell.formID});
      return;
    }
    if (rules.types == nullptr || j >= rules.types->size()) return;
    std::uint32_t type = (*rules.types)[j].AsUnsigned();
    if (type == kScaleType_Keep) return;
    std::optional<float> operand;
    if (rules.operands != nullptr && j < rules.operands->size()) operand = (*rules.operands)[j].AsFloat();
    std::optional<float> extra;
    if (options.size() == 6) extra = options[3 + k].AsFloat();
    std::optional<Triple> base = BaseOf(i);
    if (!base) return;
    std::optional<float> value = ScaleByType(type, (*base)[k], extra, operand, up, first);
    if (!value) {
      notes.push_back({ScalingNote::kIllegalType, type});
      return;
    }
    game::EffectItem& item = *spell.effects[i];
    if (k == 0) item.magnitude = *value;
    if (k == 1) item.area = RoundToInt32(*value);
    if (k == 2) item.duration = TruncateToUnsigned(*value);
  }
};

// Writes the stack count into effect 0 and scales the others; true when the stack emptied.
bool ScaleSpell(game::SpellItem& spell, const ScriptNumbers& options,
                const std::vector<std::optional<SavedEffect>>& saved, const CurrentValues& current,
                const std::array<ScalingRules, 3>& rules, ScalingNotes& notes) {
  float step = options[0].AsFloat();
  bool emptied = false;
  const Triple* live0 = current.FirstOf(0);
  if (step != 0.0f && spell.numEffects >= 1 && spell.effects[0] != nullptr) {
    std::optional<float> count;
    if (live0 != nullptr) count = (*live0)[0];
    float& stack = spell.effects[0]->magnitude;
    if (step > 0.0f) {
      stack = count ? *count + 1.0f : 1.0f;
    } else {
      stack = count ? *count - 1.0f : 0.0f;
      if (stack < 0.5f) {
        stack = 0.0f;
        emptied = true;
      }
    }
  }
  ScalingPass pass{notes, spell, options, saved, current, step >= 0.0f,
                   live0 == nullptr || (*live0)[0] == 0.0f};
  std::uint32_t start = step != 0.0f ? 1 : 0;
  for (std::uint32_t i = start; i < saved.size(); ++i) {
    for (std::size_t k = 0; k < 3; ++k) pass.ScaleComponent(k, i, i - start, rules[k]);
  }
  return emptied;
}

// One call at a time changes a spell's effect items and has the game copy them: a call that
// saved another call's scaled items as the spell's own would restore those for good.
std::unique_lock<std::mutex> TakeScalingLock() {
  // Never destroyed: script threads may still run while the process ends.
  static auto* scaling = new std::mutex;
  std::unique_lock<std::mutex> lock(*scaling, std::try_to_lock);
  if (!lock.owns_lock()) {
    if (gOnScalingBusy != nullptr) gOnScalingBusy();
    lock.lock();
  }
  return lock;
}

// Saves the spell's items, scales them, adds the spell back with them and restores them;
// true when removing a stack emptied it. The caller holds the scaling lock.
bool Reapply(qxnsSKSE::ActorExtended& actor, game::SpellItem& spell, bool has, bool leaveRemoved,
             const ScriptNumbers& options, const std::array<ScalingRules, 3>& rules, ScalingNotes& notes) {
  // Puts the items back as saved when the call is done, also when it is left by an exception.
  struct RestoreWhenDone {
    game::SpellItem& spell;
    const std::vector<std::optional<SavedEffect>> saved;
    ~RestoreWhenDone() {
      for (std::size_t i = 0; i < saved.size() && i < spell.numEffects; ++i) {
        game::EffectItem* item = spell.effects[i];
        if (item == nullptr || !saved[i]) continue;
        item->magnitude = saved[i]->magnitude;
        item->area = saved[i]->area;
        item->duration = saved[i]->duration;
      }
    }
  } restore{spell, SaveEffects(spell)};

  CurrentValues current;
  if (has) {
    current = CollectCurrentValues(actor, spell);
    actor.RemoveSpell(&spell);
  }
  bool emptied = ScaleSpell(spell, options, restore.saved, current, rules, notes);
  if (!(emptied && leaveRemoved)) actor.AddSpell(&spell);
  return emptied;
}

}  // namespace

std::optional<float> ScaleByType(std::uint32_t type, float current, std::optional<float> extra,
                                 std::optional<float> operand, bool up, bool first) noexcept {
  switch (type) {
    case 0: return extra ? *extra : operand ? *operand : current;
    case 1: return Sum(current, extra, operand, up);
    case 2: return Product(current, extra, operand, up);
    case 3: return first ? ScaleByType(0, current, extra, operand, up, first)
                         : ScaleByType(1, current, extra, operand, up, first);
    case 4: return first ? ScaleByType(0, current, extra, operand, up, first)
                         : ScaleByType(2, current, extra, operand, up, first);
    case 5: return Sum(current, extra, std::nullopt, up);
    case 6: return Product(current, extra, std::nullopt, up);
    case 7: return first ? extra.value_or(current) : Sum(current, extra, std::nullopt, up);
    case 8: return first ? extra.value_or(current) : Product(current, extra, std::nullopt, up);
    case 9: return operand.value_or(current);
    case 10: return Sum(current, std::nullopt, operand, up);
    case 11: return Product(current, std::nullopt, operand, up);
    case 12: return first ? operand.value_or(current) : Sum(current, std::nullopt, operand, up);
    case 13: return first ? operand.value_or(current) : Product(current, std::nullopt, operand, up);
    default: return std::nullopt;
  }
}

bool ScaleAbilityEffects(qxnsSKSE::ActorExtended* actor, game::SpellItem* spell,
                         const ScriptNumbers* options, ScalingRules magnitude, ScalingRules area,
                         ScalingRules duration) {
  if (actor == nullptr || spell == nullptr) {
    LogMessage("QX Scale Ability Effects: invalid spell %p or actor %p", static_cast<void*>(spell),
               static_cast<void*>(actor));
    return true;
  }
  if (spell->spellType != game::kSpellType_Ability) {
    LogMessage("QX Scale Ability Effects: spell %p is not an ability; received %d",
               AsPointer(spell->formID), static_cast<int>(spell->spellType));
    return true;
  }
  if (options == nullptr || (options->size() != 3 && options->size() != 6)) {
    LogMessage("QX Scale Ability Effects: parameters array must contain exactly 3 or 6 elements; received %d",
               options == nullptr ? 0 : static_cast<int>(options->size()));
    return true;
  }
  float step = (*options)[0].AsFloat();
  if (step != 0.0f && spell->numEffects < 2) {
    LogMessage("QX Scale Ability Effects: stackable spell %p does not contain at least two effects",
               AsPointer(spell->formID));
    return true;
  }
  if (spell->numEffects == 0) {
    LogMessage("QX Scale Ability Effects: spell %p contains no effects", AsPointer(spell->formID));
  }
  if (actor->ActiveEffectList() == nullptr) {
    LogMessage("QX Scale Ability Effects: actor %p has invalid effect list (normal for NPC area transition)",
               AsPointer(actor->FormId()));
    actor->RemoveSpell(spell);
    return true;
  }
  bool addIfMissing = (*options)[1].AsFloat() != 0.0f;
  bool leaveRemoved = (*options)[2].AsFloat() != 0.0f;
  // Whether the actor has the spell is asked under the lock too, so that it still holds
  // when this call's turn comes.
  bool missing = false;
  bool emptied = false;
  ScalingNotes notes;
  {
    std::unique_lock<std::mutex> lock = TakeScalingLock();
    bool has = actor->HasSpell(spell);
    missing = !has && !addIfMissing;
    if (!missing) emptied = Reapply(*actor, *spell, has, leaveRemoved, *options, {magnitude, area, duration}, notes);
  }
  if (missing) {
    LogMessage("QX Scale Ability Effects: actor %p does not have spell %p", AsPointer(actor->FormId()),
               AsPointer(spell->formID));
    return true;
  }
  for (const ScalingNote& note : notes) note.Log();
  return emptied;
}

}  // namespace qx::papyrus
