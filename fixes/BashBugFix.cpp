#include "fixes/BashBugFix.h"

#include <cstring>

#include "common/IDebugLog.h"
#include "plugin/CodePatch.h"
#include "plugin/TrampolineAsm.h"

namespace qx {

extern "C" void FilterBashStateReset(game::Actor* actor, const StringCache::Ref* eventName) noexcept {
  if (actor == nullptr) return;
  const char* name = eventName != nullptr ? eventName->c_str() : nullptr;
  bool bashing = (actor->stateWord & kActorStateMask) == kActorState_Bashing;
  bool keep = bashing && name != nullptr && name[0] != '\0' && std::strcmp(name, "bashStop") != 0;
  if (!keep) actor->stateWord &= ~kActorStateMask;
}

extern "C" {
__attribute__((used)) extern const std::uintptr_t kBashResumeA asm("qx_BashResumeA") = 0x00780D21;
__attribute__((used)) extern const std::uintptr_t kBashResumeB asm("qx_BashResumeB") = 0x007807AB;
void FilterBashResetA() asm("qx_FilterBashResetA");
void FilterBashResetB() asm("qx_FilterBashResetB");
}

// 0x00780D1A (E9 over the seven bytes of the reset): the actor is at esp+0C, the event
// name's string reference at esp+00.
__attribute__((naked)) void FilterBashResetA() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      "push dword ptr [esp + 0x1C + 0x00]\n"  // event name
      "push dword ptr [esp + 0x20 + 0x0C]\n"  // actor
      "call qx_FilterBashStateReset\n"
      "add esp, 8\n"
      QX_ASM_RESTORE_GAME_REGISTERS
      "jmp dword ptr [qx_BashResumeA]\n"
      QX_ASM_END);
}

// 0x007807A4 (E9 over the seven bytes of the reset): the actor in esi, the event name's
// string reference in edi.
__attribute__((naked)) void FilterBashResetB() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      "push edi\n"
      "push esi\n"
      "call qx_FilterBashStateReset\n"
      "add esp, 8\n"
      QX_ASM_RESTORE_GAME_REGISTERS
      "jmp dword ptr [qx_BashResumeB]\n"
      QX_ASM_END);
}

void InstallBashBugFix(ProjectIni&) {
  WriteRelBranch(0x00780D1A, kOpcodeJump, reinterpret_cast<std::uintptr_t>(&FilterBashResetA));
  WriteRelBranch(0x007807A4, kOpcodeJump, reinterpret_cast<std::uintptr_t>(&FilterBashResetB));
  LogMessage("QX Inject: bash bug fix loaded");
}

}  // namespace qx
