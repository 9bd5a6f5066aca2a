#include "fixes/JumpBonusFix.h"

#include <atomic>

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "skse/GameActorValues.h"

namespace qx {
namespace {

// The index of "JumpingBonus", looked up on the first jump (the game's data is loaded by
// then) and kept; an answer that names no actor value is not kept, so the next jump asks
// again. Jumps on several threads may each look it up once: they find the same index.
std::atomic<std::uint32_t> gJumpingBonusIndex{game::kActorValueCount};

std::uint32_t JumpingBonusIndex() noexcept {
  std::uint32_t index = gJumpingBonusIndex.load(std::memory_order_relaxed);
  if (index < game::kActorValueCount) return index;
  index = game::LookupActorValueByName("JumpingBonus");
  if (index < game::kActorValueCount) gJumpingBonusIndex.store(index, std::memory_order_relaxed);
  return index;
}

}  // namespace

void ForgetJumpingBonusIndex() noexcept {
  gJumpingBonusIndex.store(game::kActorValueCount, std::memory_order_relaxed);
}

extern "C" double ScaleJumpValue(double jumpValue, game::Actor* actor) noexcept {
  if (actor == nullptr) return jumpValue;
  std::uint32_t index = JumpingBonusIndex();
  if (index >= game::kActorValueCount) return jumpValue;
  float bonus = actor->actorValues.Read(game::kActorValueSlot_Current, index);
  float factor = bonus / 100.0f + 1.0f;
  return jumpValue * static_cast<double>(factor);
}

extern "C" {
__attribute__((used)) extern const std::uintptr_t kJumpValueRoutine asm("qx_jump_value_routine") =
    game::kActorHandleJumpValue;
__attribute__((used)) extern const std::uintptr_t kJumpValueResume asm("qx_jump_value_resume") =
    game::kJumpValueCallResume;
void ScaleJumpBeforeHandOn() asm("qx_scale_jump_before_hand_on");
}

// Jumped to instead of the game's call that hands the jump value on: the call's stack is laid
// out, the jumping actor at +0C and the value (a double) at +10. The value is scaled in place,
// then the call is made as the game would, with the game's ecx.
__attribute__((naked)) void ScaleJumpBeforeHandOn() {
  asm(QX_ASM_BEGIN
      "push eax\n"
      "push ecx\n"
      "push edx\n"
      "push dword ptr [esp + 0x0C + 0x0C]\n"  // actor
      "push dword ptr [esp + 0x10 + 0x14]\n"  // value, high half
      "push dword ptr [esp + 0x14 + 0x10]\n"  // value, low half
      "call qx_scale_jump_value\n"
      "add esp, 12\n"
      "fstp qword ptr [esp + 0x0C + 0x10]\n"
      "pop edx\n"
      "pop ecx\n"
      "pop eax\n"
      "call dword ptr [qx_jump_value_routine]\n"
      "jmp dword ptr [qx_jump_value_resume]\n"
      QX_ASM_END);
}

void InstallJumpBonusFix(ProjectIni&) {
  ForgetJumpingBonusIndex();
  WriteRelBranch(game::kJumpValueCallSite, kOpcodeJump, AddressOf(&ScaleJumpBeforeHandOn));
  LogMessage("QX Inject: jump bonus fix loaded");
}

}  // namespace qx
