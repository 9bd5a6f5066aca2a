#include "sim/ArtPickSite.h"

#include "sim/GameRegion.h"
#include "sim/SiteRunner.h"

extern "C" {
const void* gSimArtChosen asm("sim_art_chosen") = nullptr;
std::uint32_t gSimArtCall[4] asm("sim_art_call") = {};  // calls, ecx, [esp+4], [esp+8]
}

namespace sim {
namespace {

// The pick as the game's callers see it: the item in ecx on entry and on return, the magic
// effect in eax; it records how it was called.
extern "C" __attribute__((naked)) void SimArtPick() asm("sim_art_pick");
extern "C" __attribute__((naked)) void SimArtPick() {
  asm(".intel_syntax noprefix\n"
      "  inc dword ptr [sim_art_call]\n"
      "  mov dword ptr [sim_art_call+4], ecx\n"
      "  mov eax, dword ptr [esp+4]\n"
      "  mov dword ptr [sim_art_call+8], eax\n"
      "  mov eax, dword ptr [esp+8]\n"
      "  mov dword ptr [sim_art_call+12], eax\n"
      "  mov eax, dword ptr [sim_art_chosen]\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

}  // namespace

void PlaceArtPickSite() {
  std::vector<std::uint8_t> call = RelBranch(0xE8, kArtPickSite, kArtPickCallee);
  WriteGameBytes(kArtPickSite, call.data(), call.size());
  PlaceResumeCatcher(kArtPickResume);
  PlaceRoutine(kArtPickCallee, reinterpret_cast<const void*>(&SimArtPick));
}

void SetArtPickAnswer(qx::game::EffectSetting* chosen) { gSimArtChosen = chosen; }

ArtPickCall LastArtPickCall() {
  return {gSimArtCall[0], gSimArtCall[1], {gSimArtCall[2], gSimArtCall[3]}};
}

}  // namespace sim
