// The hit-damage call that health gating sits in, and the thread that trims the immunity
// table.
#include <chrono>
#include <system_error>
#include <thread>

#include "common/IDebugLog.h"
#include "fixes/HealthGating.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "settings/ProjectIni.h"

namespace qx {

extern "C" {
__attribute__((used)) extern const std::uintptr_t kHitDamageRoutine asm("qx_hit_damage_routine") =
    game::kActorApplyHitDamage;
__attribute__((used)) extern const std::uintptr_t kHitDamageResume asm("qx_hit_damage_resume") =
    game::kHitDamageCallResume;
void GateHitDamage() asm("qx_gate_hit_damage");
}

// kHitDamageCallSite (E8, over `mov ecx, esi` and the call that follows it): the victim is in esi,
// and under the return address lie the six arguments of the game's hit-damage routine:
// +04, +08, the change (float) at +0C, the attacker at +10, +14, the source at +18. The
// gated change replaces the third argument; then the routine is called as the game would.
__attribute__((naked)) void GateHitDamage() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      "push dword ptr [esp + 0x1C + 0x18]\n"  // source
      "push dword ptr [esp + 0x20 + 0x10]\n"  // attacker
      "push dword ptr [esp + 0x24 + 0x0C]\n"  // change
      "push esi\n"                            // victim
      "call qx_gate_health_change\n"
      "add esp, 16\n"
      "fstp dword ptr [esp + 0x1C + 0x0C]\n"  // the change the routine is to apply
      QX_ASM_RESTORE_GAME_REGISTERS
      "add esp, 4\n"  // the return address: the routine's arguments are on top again
      "mov ecx, esi\n"
      "call dword ptr [qx_hit_damage_routine]\n"
      "jmp dword ptr [qx_hit_damage_resume]\n"
      QX_ASM_END);
}

namespace {

void TrimForever(std::uint32_t immunityMillis) {
  while (gCleanupThreadRun) {
    std::this_thread::sleep_for(std::chrono::milliseconds(gCleanupIntervalMillis));
    // Nothing may leave this detached thread: std::terminate would end the game. A pass
    // that failed (its lock could not be taken) is tried again after the next pause.
    try {
      TrimImmunityTable(gGatingClock(), immunityMillis);
    } catch (...) {
    }
  }
}

void StartCleanupThread(std::uint32_t immunityMillis) {
  try {
    std::thread(&TrimForever, immunityMillis).detach();
  } catch (const std::system_error&) {
    // Immunity is still decided by timestamps; only the table's trimming is lost.
    LogMessage("QX Health Gating: could not start the cleanup thread; the immunity table will not be trimmed");
  }
}

}  // namespace

void InstallHealthGating(ProjectIni& settings) {
  if (!settings.hgIsEnabled) {
    LogMessage("QX Inject: health gating loaded; current status DISABLED");
    return;
  }
  gHealthGatingSettings = &settings;
  WriteRelBranch(game::kHitDamageCallSite, kOpcodeCall, AddressOf(&GateHitDamage));
  gCleanupThreadRun = true;
  if (static_cast<float>(settings.hgCleanupPollingTimeMillis) > 0.0f) {
    gCleanupIntervalMillis = settings.hgCleanupPollingTimeMillis;
    StartCleanupThread(settings.hgImmunityTimeMillis);
  }
  LogMessage("QX Inject: health gating loaded; current status ENABLED");
}

}  // namespace qx
