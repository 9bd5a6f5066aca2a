#include "fixes/AVPercentFix.h"

#include "common/IDebugLog.h"
#include "plugin/CodePatch.h"
#include "skse/GameActorValues.h"
#include "skse/GameMagic.h"

namespace qx {

float EffectiveMaximum(game::Actor* actor, std::uint32_t index) noexcept {
  float maximum = actor->actorValues.Read(game::kActorValueSlot_BaseMaximum, index);
  float modifier = host::Routine<game::ActorGetAVModifierFn>(game::kActorGetAVModifier)(
      actor, game::kModifier_Temporary, index);
  return maximum + modifier;
}

extern "C" float ComputeAVPercent(game::Actor* actor, std::uint32_t index) noexcept {
  if (actor == nullptr) return 1.0f;
  float maximum = EffectiveMaximum(actor, index);
  // A NaN maximum fails this test too.
  if (!(maximum > 0.0f)) return 1.0f;
  return actor->actorValues.Read(game::kActorValueSlot_Current, index) / maximum;
}

// The four sites replaced a 5-byte call of the game's own fraction routine, made as a member
// of the actor in ecx; its float result is taken from ST0 after the call. Each trampoline
// leaves the fraction in ST0, removes the E8 return address and whatever argument the
// replaced call would have removed, and resumes right behind the call. eax, ecx and edx are
// free, as they were for the replaced call; ComputeAVPercent keeps ebx, esi, edi and ebp.
extern "C" {
__attribute__((used)) extern const std::uintptr_t kAVPercentResume1 asm("qx_AVPercentResume1") = 0x005067E4;
__attribute__((used)) extern const std::uintptr_t kAVPercentResume2 asm("qx_AVPercentResume2") = 0x00506A11;
__attribute__((used)) extern const std::uintptr_t kAVPercentResume3 asm("qx_AVPercentResume3") = 0x00506A91;
__attribute__((used)) extern const std::uintptr_t kAVPercentResume4 asm("qx_AVPercentResume4") = 0x008DA70B;

void AVPercentAtIndexInEax1() asm("qx_AVPercentAtIndexInEax1");
void AVPercentOfStamina() asm("qx_AVPercentOfStamina");
void AVPercentOfHealth() asm("qx_AVPercentOfHealth");
void AVPercentAtIndexInEax2() asm("qx_AVPercentAtIndexInEax2");
}

// 0x005067DF: actor in ecx, index in eax; one 4-byte argument of the replaced call under the
// return address (not read, removed).
__attribute__((naked)) void AVPercentAtIndexInEax1() {
  asm(".intel_syntax noprefix\n"
      "push eax\n"
      "push ecx\n"
      "call qx_ComputeAVPercent\n"
      "add esp, 16\n"  // our two arguments, the return address, the replaced call's argument
      "jmp dword ptr [qx_AVPercentResume1]\n"
      ".att_syntax prefix\n");
}

// 0x00506A0C: actor in ecx, stamina; nothing on the stack but the return address.
__attribute__((naked)) void AVPercentOfStamina() {
  asm(".intel_syntax noprefix\n"
      "push 26\n"
      "push ecx\n"
      "call qx_ComputeAVPercent\n"
      "add esp, 12\n"  // our two arguments and the return address
      "jmp dword ptr [qx_AVPercentResume2]\n"
      ".att_syntax prefix\n");
}

// 0x00506A8C: actor in ecx, health; nothing on the stack but the return address.
__attribute__((naked)) void AVPercentOfHealth() {
  asm(".intel_syntax noprefix\n"
      "push 24\n"
      "push ecx\n"
      "call qx_ComputeAVPercent\n"
      "add esp, 12\n"
      "jmp dword ptr [qx_AVPercentResume3]\n"
      ".att_syntax prefix\n");
}

// 0x008DA706: as 0x005067DF.
__attribute__((naked)) void AVPercentAtIndexInEax2() {
  asm(".intel_syntax noprefix\n"
      "push eax\n"
      "push ecx\n"
      "call qx_ComputeAVPercent\n"
      "add esp, 16\n"
      "jmp dword ptr [qx_AVPercentResume4]\n"
      ".att_syntax prefix\n");
}

namespace {

struct CallSite {
  host::Address site;
  void (*trampoline)();
};

constexpr CallSite kSites[] = {
    {0x005067DF, &AVPercentAtIndexInEax1},
    {0x00506A0C, &AVPercentOfStamina},
    {0x00506A8C, &AVPercentOfHealth},
    {0x008DA706, &AVPercentAtIndexInEax2},
};

}  // namespace

void InstallAVPercentFix(ProjectIni&) {
  for (const CallSite& call : kSites) {
    WriteRelBranch(call.site, kOpcodeCall, reinterpret_cast<std::uintptr_t>(call.trampoline));
  }
  LogMessage("QX Inject: actor value percentage fix loaded");
}

}  // namespace qx
