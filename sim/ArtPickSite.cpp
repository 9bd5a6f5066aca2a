#include "sim/ArtPickSite.h"

#include <cstring>

#include "sim/GameRegion.h"

extern "C" {
extern const std::uintptr_t gSimArtSite asm("sim_art_site");  // extern: read only by asm
const std::uintptr_t gSimArtSite = sim::kArtPickSite;
const void* gSimArtItem asm("sim_art_item") = nullptr;
const void* gSimArtChosen asm("sim_art_chosen") = nullptr;
std::uint32_t gSimArtEspBefore asm("sim_art_esp_before") = 0;
std::uint32_t gSimArtEspAfter asm("sim_art_esp_after") = 0;
std::uint32_t gSimArtPickEsp asm("sim_art_pick_esp") = 0;
std::uint32_t gSimArtPickEcx asm("sim_art_pick_ecx") = 0;
std::uint32_t gSimArtOut[7] asm("sim_art_out") = {};  // eax ebx ecx edx esi edi ebp
}

namespace sim {
namespace {

extern "C" __attribute__((naked)) void SimArtPick() asm("sim_art_pick");
extern "C" __attribute__((naked)) void SimArtPick() {
  asm(".intel_syntax noprefix\n"
      "  mov dword ptr [sim_art_pick_esp], esp\n"
      "  mov dword ptr [sim_art_pick_ecx], ecx\n"
      "  mov eax, dword ptr [sim_art_chosen]\n"
      "  mov ecx, dword ptr [sim_art_item]\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

extern "C" __attribute__((naked)) void SimArtRun() asm("sim_art_run");
extern "C" __attribute__((naked)) void SimArtRun() {
  asm(".intel_syntax noprefix\n"
      "  push ebx\n  push esi\n  push edi\n  push ebp\n"
      "  mov ecx, dword ptr [sim_art_item]\n"
      "  mov ebx, 0x11111111\n  mov edx, 0x22222222\n"
      "  mov esi, 0x33333333\n  mov edi, 0x44444444\n  mov ebp, 0x55555555\n"
      "  mov dword ptr [sim_art_esp_before], esp\n"
      "  call dword ptr [sim_art_site]\n"
      "  mov dword ptr [sim_art_esp_after], esp\n"
      "  mov dword ptr [sim_art_out], eax\n"
      "  mov dword ptr [sim_art_out+4], ebx\n"
      "  mov dword ptr [sim_art_out+8], ecx\n"
      "  mov dword ptr [sim_art_out+12], edx\n"
      "  mov dword ptr [sim_art_out+16], esi\n"
      "  mov dword ptr [sim_art_out+20], edi\n"
      "  mov dword ptr [sim_art_out+24], ebp\n"
      "  pop ebp\n  pop edi\n  pop esi\n  pop ebx\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

}  // namespace

void PlaceArtPickSite() {
  std::uint8_t code[6] = {0xE8, 0, 0, 0, 0, 0xC3};  // call the pick; then return to the test
  auto displacement = static_cast<std::uint32_t>(kArtPickCallee - (kArtPickSite + 5));
  std::memcpy(code + 1, &displacement, 4);
  WriteGameBytes(kArtPickSite, code, sizeof(code));
  PlaceRoutine(kArtPickCallee, reinterpret_cast<const void*>(&SimArtPick));
}

ArtPickRun RunArtPickSite(const qx::game::MagicItem* item, qx::game::EffectSetting* chosen) {
  gSimArtItem = item;
  gSimArtChosen = chosen;
  SimArtRun();
  ArtPickRun run{gSimArtOut[0], gSimArtOut[1], gSimArtOut[2], gSimArtOut[3],
                 gSimArtOut[4], gSimArtOut[5], gSimArtOut[6], false, false};
  run.stackKept = gSimArtEspAfter == gSimArtEspBefore;
  // Two return addresses below the entry: the test's call of the site, the site's call.
  run.pickSawTheCall = gSimArtPickEsp == gSimArtEspBefore - 8 &&
                       gSimArtPickEcx == reinterpret_cast<std::uintptr_t>(item);
  return run;
}

}  // namespace sim
