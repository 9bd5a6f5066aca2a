#include "sim/ActorValueNames.h"

#include <atomic>
#include <cctype>

#include "sim/GameRegion.h"
#include "skse/GameActorValues.h"

namespace sim {
namespace {

constexpr const char* kNames[qx::game::kActorValueCount] = {
    "Aggression", "Confidence", "Energy", "Morality", "Mood", "Assistance", "OneHanded",
    "TwoHanded", "Marksman", "Block", "Smithing", "HeavyArmor", "LightArmor", "Pickpocket",
    "Lockpicking", "Sneak", "Alchemy", "Speechcraft", "Alteration", "Conjuration", "Destruction",
    "Illusion", "Restoration", "Enchanting", "Health", "Magicka", "Stamina", "HealRate",
    "MagickaRate", "StaminaRate", "SpeedMult", "InventoryWeight", "CarryWeight", "CritChance",
    "MeleeDamage", "UnarmedDamage", "Mass", "VoicePoints", "VoiceRate", "DamageResist",
    "PoisonResist", "FireResist", "ElectricResist", "FrostResist", "MagicResist",
    "DiseaseResist", "PerceptionCondition", "EnduranceCondition", "LeftAttackCondition",
    "RightAttackCondition", "LeftMobilityCondition", "RightMobilityCondition", "BrainCondition",
    "Paralysis", "Invisibility", "NightEye", "DetectLifeRange", "WaterBreathing",
    "WaterWalking", "IgnoreCrippledLimbs", "Fame", "Infamy", "JumpingBonus", "WardPower",
    "RightItemCharge", "ArmorPerks", "ShieldPerks", "WardDeflection", "Variable01",
    "Variable02", "Variable03", "Variable04", "Variable05", "Variable06", "Variable07",
    "Variable08", "Variable09", "Variable10", "BowSpeedBonus", "FavorActive", "FavorsPerDay",
    "FavorsPerDayTimer", "LeftItemCharge", "AbsorbChance", "Blindness", "WeaponSpeedMult",
    "ShoutRecoveryMult", "BowStaggerBonus", "Telekinesis", "FavorPointsBonus",
    "LastBribedIntimidated", "LastFlattered", "MovementNoiseMult", "BypassVendorStolenCheck",
    "BypassVendorKeywordCheck", "WaitingForPlayer", "OneHandedMod", "TwoHandedMod",
    "MarksmanMod", "BlockMod", "SmithingMod", "HeavyArmorMod", "LightArmorMod",
    "PickPocketMod", "LockpickingMod", "SneakMod", "AlchemyMod", "SpeechcraftMod",
    "AlterationMod", "ConjurationMod", "DestructionMod", "IllusionMod", "RestorationMod",
    "EnchantingMod", "OneHandedSkillAdvance", "TwoHandedSkillAdvance", "MarksmanSkillAdvance",
    "BlockSkillAdvance", "SmithingSkillAdvance", "HeavyArmorSkillAdvance",
    "LightArmorSkillAdvance", "PickPocketSkillAdvance", "LockpickingSkillAdvance",
    "SneakSkillAdvance", "AlchemySkillAdvance", "SpeechcraftSkillAdvance",
    "AlterationSkillAdvance", "ConjurationSkillAdvance", "DestructionSkillAdvance",
    "IllusionSkillAdvance", "RestorationSkillAdvance", "EnchantingSkillAdvance",
    "LeftWeaponSpeedMult", "DragonSouls", "CombatHealthRegenMult", "OneHandedPowerMod",
    "TwoHandedPowerMod", "MarksmanPowerMod", "BlockPowerMod", "SmithingPowerMod",
    "HeavyArmorPowerMod", "LightArmorPowerMod", "PickPocketPowerMod", "LockpickingPowerMod",
    "SneakPowerMod", "AlchemyPowerMod", "SpeechcraftPowerMod", "AlterationPowerMod",
    "ConjurationPowerMod", "DestructionPowerMod", "IllusionPowerMod", "RestorationPowerMod",
    "EnchantingPowerMod", "DragonRend", "AttackDamageMult", "HealRateMult", "MagickaRateMult",
    "StaminaRateMult", "WerewolfPerks", "VampirePerks", "GrabActorOffset", "Grabbed",
    "DEPRECATED05", "ReflectDamage",
};

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) {
      return false;
    }
  }
  return *a == *b;
}

std::atomic<unsigned> gLookupCalls{0};

std::uint32_t QX_CDECL LookupStandIn(const char* name) {
  gLookupCalls.fetch_add(1, std::memory_order_relaxed);
  return LookupActorValue(name);
}

}  // namespace

const char* ActorValueName(std::uint32_t index) {
  return index < qx::game::kActorValueCount ? kNames[index] : nullptr;
}

std::uint32_t LookupActorValue(const char* name) {
  if (name == nullptr) return qx::game::kActorValueCount;
  for (std::uint32_t i = 0; i < qx::game::kActorValueCount; ++i) {
    if (SameIgnoringCase(kNames[i], name)) return i;
  }
  return qx::game::kActorValueCount;
}

unsigned ActorValueLookupCalls() { return gLookupCalls.load(); }

void PlaceActorValueNames() {
  PlaceRoutine(qx::game::kLookupActorValueByName, reinterpret_cast<const void*>(&LookupStandIn));
}

}  // namespace sim
