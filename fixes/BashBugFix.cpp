#include "fixes/BashBugFix.h"

#include "common/IDebugLog.h"
#include "common/KeepSseRegisters.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"

namespace qx {

QX_BEGIN_KEEPING_SSE_REGISTERS

namespace {

// The game's event name against the one that ends a bash (no C library call: it may use SSE).
[[nodiscard]] bool IsBashStop(const char* name) noexcept {
  const char* stop = "bashStop";
  while (*name != '\0' && *name == *stop) {
    ++name;
    ++stop;
  }
  return *name == *stop;
}

}  // namespace

extern "C" void FilterBashStateReset(game::Actor* actor, const StringCache::Ref* eventName) noexcept {
  if (actor == nullptr) return;
  const char* name = eventName != nullptr ? eventName->c_str() : nullptr;
  bool bashing = (actor->stateWord & game::kActorStateMask) == game::kActorState_Bashing;
  bool keep = bashing && name != nullptr && name[0] != '\0' && !IsBashStop(name);
  if (!keep) actor->stateWord &= ~game::kActorStateMask;
}

QX_END_KEEPING_SSE_REGISTERS

// Both trampolines keep every register of the game, the floating-point state included (the
// resets lie in the middle of the game's event handling), and resume after the seven bytes of
// the reset they replace.
extern "C" {
__attribute__((used)) extern const std::uintptr_t kResumeAfterResetActorOnStack
    asm("qx_resume_after_reset_actor_on_stack") = game::kStateResetResume_ActorOnStack;
__attribute__((used)) extern const std::uintptr_t kResumeAfterResetActorInEsi
    asm("qx_resume_after_reset_actor_in_esi") = game::kStateResetResume_ActorInEsi;
void FilterResetActorOnStack() asm("qx_filter_reset_actor_on_stack");
void FilterResetActorInEsi() asm("qx_filter_reset_actor_in_esi");
}

// The actor is at esp+0C, the event name's string reference at esp+00 (ebp+1C and up once
// the registers are saved).
__attribute__((naked)) void FilterResetActorOnStack() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "push dword ptr [ebp + 0x1C + 0x00]\n"  // event name
      "push dword ptr [ebp + 0x1C + 0x0C]\n"  // actor
      "call qx_filter_bash_state_reset\n"
      "add esp, 8\n"
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      QX_ASM_RESTORE_GAME_REGISTERS
      "jmp dword ptr [qx_resume_after_reset_actor_on_stack]\n"
      QX_ASM_END);
}

// The actor is in esi, the event name's string reference in edi.
__attribute__((naked)) void FilterResetActorInEsi() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "push edi\n"
      "push esi\n"
      "call qx_filter_bash_state_reset\n"
      "add esp, 8\n"
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      QX_ASM_RESTORE_GAME_REGISTERS
      "jmp dword ptr [qx_resume_after_reset_actor_in_esi]\n"
      QX_ASM_END);
}

void InstallBashBugFix(ProjectIni&) {
  WriteRelBranch(game::kStateResetSite_ActorOnStack, kOpcodeJump, AddressOf(&FilterResetActorOnStack));
  WriteRelBranch(game::kStateResetSite_ActorInEsi, kOpcodeJump, AddressOf(&FilterResetActorInEsi));
  LogMessage("QX Inject: bash bug fix loaded");
}

}  // namespace qx
