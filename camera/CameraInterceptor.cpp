#include "camera/CameraInterceptor.h"

#include <bit>

#include "common/IDebugLog.h"
#include "common/KeepSseRegisters.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "settings/ProjectIni.h"

namespace qx::camera {
namespace {

constexpr float kPositionNudge = std::bit_cast<float>(game::kPositionNudgeBits);

const ProjectIni* gSettings = nullptr;
game::TESCameraState* gKillCamState = nullptr;
game::TESCameraState* gFurnitureState = nullptr;
game::ThirdPersonState* gThirdPersonState = nullptr;

QX_BEGIN_KEEPING_SSE_REGISTERS

// Finds the three states by id; all three or none are kept, so a table that lacks one is
// searched again on the next change.
bool FindStates(const game::PlayerCamera& camera) noexcept {
  for (game::TESCameraState* state : camera.cameraStates) {
    if (state == nullptr) continue;
    switch (state->stateId) {
      case game::kCameraState_KillCam:
        gKillCamState = state;
        LogMessage("QX Camera Interceptor: hooked kill cam");
        break;
      case game::kCameraState_Furniture:
        gFurnitureState = state;
        LogMessage("QX Camera Interceptor: hooked furniture cam");
        break;
      case game::kCameraState_ThirdPerson:
        gThirdPersonState = static_cast<game::ThirdPersonState*>(state);
        LogMessage("QX Camera Interceptor: hooked third-person cam");
        break;
      default:
        break;
    }
  }
  if (gKillCamState != nullptr && gFurnitureState != nullptr && gThirdPersonState != nullptr) {
    return true;
  }
  LogMessage("QX Camera Interceptor: could not hook at least one required camera; disabling");
  gKillCamState = nullptr;
  gFurnitureState = nullptr;
  gThirdPersonState = nullptr;
  return false;
}

}  // namespace

extern "C" game::TESCameraState* ChooseCameraState(game::TESCameraState* requested) noexcept {
  game::PlayerCamera* camera = gInterceptorCamera;
  if (camera == nullptr || gSettings == nullptr) return requested;
  if (gKillCamState == nullptr || gFurnitureState == nullptr || gThirdPersonState == nullptr) {
    if (!FindStates(*camera)) return requested;
  }
  if (gSettings->camReplaceFurnitureCamWith3P && requested == gFurnitureState) {
    gThirdPersonState->unk84 = 0;
    return gThirdPersonState;
  }
  if (gSettings->camEnable3PKillCamPositionFix && camera->activeState == gKillCamState &&
      requested == gThirdPersonState) {
    gThirdPersonState->positionNudge = kPositionNudge;
    gThirdPersonState->recomputePosition = 1;
  }
  return requested;
}

QX_END_KEEPING_SSE_REGISTERS

// At the site: esi = camera, [esp+0x10] = requested state. Performs the nine replaced bytes
// with ebx = the chosen state, so the game's next instruction sees cmp ebx, edi. Every other
// register, and the floating-point state, as the game had them.
extern "C" const host::Address kCameraSetStateResumeWord asm("qx_camera_set_state_resume") =
    game::kCameraSetStateResume;

extern "C" __attribute__((naked)) void CameraInterceptorTrampoline() asm("qx_camera_interceptor_trampoline");
extern "C" __attribute__((naked)) void CameraInterceptorTrampoline() {
  asm(QX_ASM_BEGIN
      "  mov edi, dword ptr [esi+0x20]\n"
      "  mov ebx, dword ptr [esp+0x10]\n"
      "  push eax\n"
      "  push ecx\n"
      "  push edx\n"
      "  push esi\n"
      "  push edi\n"
      "  push ebp\n"
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "  push ebx\n"
      "  call qx_choose_camera_state\n"
      "  add esp, 4\n"
      "  mov ebx, eax\n"
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      "  pop ebp\n"
      "  pop edi\n"
      "  pop esi\n"
      "  pop edx\n"
      "  pop ecx\n"
      "  pop eax\n"
      "  cmp ebx, edi\n"
      "  jmp dword ptr [qx_camera_set_state_resume]\n"
      QX_ASM_END);
}

void InstallCameraInterceptor(ProjectIni& settings) {
  gSettings = &settings;
  WriteRelBranch(game::kCameraSetStateSite, kOpcodeJump, AddressOf(&CameraInterceptorTrampoline));
  LogMessage("QX Inject: camera interceptor loaded");
}

}  // namespace qx::camera
