#include "sim/FixSites.h"

#include <cstring>

#include "sim/Actors.h"
#include "sim/GameRegion.h"
#include "sim/SiteRunner.h"

namespace sim {
namespace {

float Fraction(qx::game::Actor* actor, std::uint32_t index) {
  auto* simActor = static_cast<SimActor*>(actor);
  if (index >= qx::game::kActorValueCount || simActor->baseMaximum[index] == 0.0f) return 1.0f;
  return simActor->currentValue[index] / simActor->baseMaximum[index];
}

float QX_THISCALL FractionOfIndex(qx::game::Actor* actor, std::uint32_t index) { return Fraction(actor, index); }
float QX_THISCALL FractionOfStamina(qx::game::Actor* actor) {
  return Fraction(actor, qx::game::kActorValue_Stamina);
}
float QX_THISCALL FractionOfHealth(qx::game::Actor* actor) {
  return Fraction(actor, qx::game::kActorValue_Health);
}

void WriteCall(std::uintptr_t site, std::uintptr_t target) {
  std::uint8_t call[5] = {0xE8};
  auto displacement = static_cast<std::uint32_t>(target - (site + 5));
  std::memcpy(call + 1, &displacement, 4);
  WriteGameBytes(site, call, sizeof(call));
}

}  // namespace

void PlaceFixSites() {
  PlaceRoutine(kGameFractionOfIndex, reinterpret_cast<const void*>(&FractionOfIndex));
  PlaceRoutine(kGameFractionOfStamina, reinterpret_cast<const void*>(&FractionOfStamina));
  PlaceRoutine(kGameFractionOfHealth, reinterpret_cast<const void*>(&FractionOfHealth));

  WriteCall(0x005067DF, kGameFractionOfIndex);
  WriteCall(0x00506A0C, kGameFractionOfStamina);
  WriteCall(0x00506A8C, kGameFractionOfHealth);
  WriteCall(0x008DA706, kGameFractionOfIndex);

  const std::uint8_t moveVictim[2] = {0x89, 0xF1};  // mov ecx, esi
  WriteGameBytes(0x006AC333, moveVictim, sizeof(moveVictim));
  WriteCall(0x006AC335, qx::game::kActorApplyHitDamage);

  WriteCall(0x006B5A39, qx::game::kActorHandleJumpValue);

  const std::uint8_t resetInEax[7] = {0x81, 0x60, 0x68, 0xFF, 0xFF, 0xFF, 0x0F};
  WriteGameBytes(0x00780D1A, resetInEax, sizeof(resetInEax));
  const std::uint8_t resetInEsi[7] = {0x81, 0x66, 0x68, 0xFF, 0xFF, 0xFF, 0x0F};
  WriteGameBytes(0x007807A4, resetInEsi, sizeof(resetInEsi));

  for (const FixSite& site : kFixSites) PlaceResumeCatcher(site.resume);
}

}  // namespace sim
