#include "camera/HorseCamFix.h"

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"

namespace qx::camera {
namespace {

game::TESCameraState* gHorseState = nullptr;

void FindHorseState(const game::PlayerCamera& camera) noexcept {
  for (game::TESCameraState* state : camera.cameraStates) {
    if (state != nullptr && state->stateId == game::kCameraState_Horse) {
      gHorseState = state;
      LogMessage("QX Horse Cam Fix: hooked horse cam");
    }
  }
  if (gHorseState == nullptr) LogMessage("QX Horse Cam Fix: could not hook horse cam; disabling");
}

void Clear(std::uint32_t* value) noexcept {
  if (value != nullptr) *value = 0;  // the game would fault on a null pointer; keep going
}

}  // namespace

extern "C" void ClearHeldValueUnlessHorse(game::TESCameraState* state,
                                          std::uint32_t* value) noexcept {
  game::PlayerCamera* camera = gHorseCamera;
  if (camera == nullptr) return Clear(value);
  if (gHorseState == nullptr) FindHorseState(*camera);
  if (state != nullptr && state == gHorseState) return;
  Clear(value);
}

// The five replaced bytes are a call, made first with the game's registers and stack; the
// ten bytes after it (the clear through [esi+0xC0]) are replaced by the routine, which keeps
// every register and the floating-point state (what the callee returns there is not known).
extern "C" const host::Address kHorseCamCalleeWord asm("qx_horse_cam_callee") = game::kHorseCamCallee;
extern "C" const host::Address kHorseCamResumeWord asm("qx_horse_cam_resume") = game::kHorseCamResume;

extern "C" __attribute__((naked)) void HorseCamTrampoline() asm("qx_horse_cam_trampoline");
extern "C" __attribute__((naked)) void HorseCamTrampoline() {
  asm(QX_ASM_BEGIN
      "  call dword ptr [qx_horse_cam_callee]\n"
      QX_ASM_SAVE_GAME_REGISTERS
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "  push dword ptr [esi+0xC0]\n"
      "  push esi\n"
      "  call qx_clear_held_value_unless_horse\n"
      "  add esp, 8\n"
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      QX_ASM_RESTORE_GAME_REGISTERS
      "  jmp dword ptr [qx_horse_cam_resume]\n"
      QX_ASM_END);
}

void InstallHorseCamFix(ProjectIni&) {
  WriteRelBranch(game::kHorseCamSite, kOpcodeJump, AddressOf(&HorseCamTrampoline));
  LogMessage("QX Inject: horse cam fix loaded");
}

}  // namespace qx::camera
