#include "fixes/AVPercentFix.h"

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
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
__attribute__((used)) extern const std::uintptr_t kResumeAfterFractionOfIndexInEax
    asm("qx_resume_after_fraction_of_index_in_eax") = game::kFractionCallResume_IndexInEax;
__attribute__((used)) extern const std::uintptr_t kResumeAfterFractionOfStamina
    asm("qx_resume_after_fraction_of_stamina") = game::kFractionCallResume_Stamina;
__attribute__((used)) extern const std::uintptr_t kResumeAfterFractionOfHealth
    asm("qx_resume_after_fraction_of_health") = game::kFractionCallResume_Health;
__attribute__((used)) extern const std::uintptr_t kResumeAfterSecondFractionOfIndexInEax
    asm("qx_resume_after_second_fraction_of_index_in_eax") = game::kFractionCallResume_IndexInEaxSecond;

void FractionOfIndexInEax() asm("qx_fraction_of_index_in_eax");
void FractionOfStamina() asm("qx_fraction_of_stamina");
void FractionOfHealth() asm("qx_fraction_of_health");
void SecondFractionOfIndexInEax() asm("qx_second_fraction_of_index_in_eax");
}

// The stamina and health trampolines push their actor value's index as a literal.
static_assert(game::kActorValue_Stamina == 26 && game::kActorValue_Health == 24);

// Actor in ecx, index in eax; one 4-byte argument of the replaced call under the return
// address (not read, removed).
__attribute__((naked)) void FractionOfIndexInEax() {
  asm(QX_ASM_BEGIN
      "push eax\n"
      "push ecx\n"
      "call qx_compute_av_percent\n"
      "add esp, 16\n"  // our two arguments, the return address, the replaced call's argument
      "jmp dword ptr [qx_resume_after_fraction_of_index_in_eax]\n"
      QX_ASM_END);
}

// Actor in ecx; nothing on the stack but the return address.
__attribute__((naked)) void FractionOfStamina() {
  asm(QX_ASM_BEGIN
      "push 26\n"
      "push ecx\n"
      "call qx_compute_av_percent\n"
      "add esp, 12\n"  // our two arguments and the return address
      "jmp dword ptr [qx_resume_after_fraction_of_stamina]\n"
      QX_ASM_END);
}

// Actor in ecx; nothing on the stack but the return address.
__attribute__((naked)) void FractionOfHealth() {
  asm(QX_ASM_BEGIN
      "push 24\n"
      "push ecx\n"
      "call qx_compute_av_percent\n"
      "add esp, 12\n"
      "jmp dword ptr [qx_resume_after_fraction_of_health]\n"
      QX_ASM_END);
}

// As FractionOfIndexInEax.
__attribute__((naked)) void SecondFractionOfIndexInEax() {
  asm(QX_ASM_BEGIN
      "push eax\n"
      "push ecx\n"
      "call qx_compute_av_percent\n"
      "add esp, 16\n"
      "jmp dword ptr [qx_resume_after_second_fraction_of_index_in_eax]\n"
      QX_ASM_END);
}

namespace {

struct CallSite {
  host::Address site;
  void (*trampoline)();
};

constexpr CallSite kSites[] = {
    {game::kFractionCallSite_IndexInEax, &FractionOfIndexInEax},
    {game::kFractionCallSite_Stamina, &FractionOfStamina},
    {game::kFractionCallSite_Health, &FractionOfHealth},
    {game::kFractionCallSite_IndexInEaxSecond, &SecondFractionOfIndexInEax},
};

}  // namespace

void InstallAVPercentFix(ProjectIni&) {
  for (const CallSite& call : kSites) {
    WriteRelBranch(call.site, kOpcodeCall, AddressOf(call.trampoline));
  }
  LogMessage("QX Inject: actor value percentage fix loaded");
}

}  // namespace qx
