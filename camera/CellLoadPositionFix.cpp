#include "camera/CellLoadPositionFix.h"

#include <bit>

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"

namespace qx::camera {
namespace {

game::ThirdPersonState* gThirdPersonState = nullptr;

bool FindThirdPersonState(const game::PlayerCamera& camera) noexcept {
  for (game::TESCameraState* state : camera.cameraStates) {
    if (state != nullptr && state->stateId == game::kCameraState_ThirdPerson) {
      gThirdPersonState = static_cast<game::ThirdPersonState*>(state);
      LogMessage("QX Camera Cell Load Position Fix: hooked third-person cam");
    }
  }
  if (gThirdPersonState != nullptr) return true;
  LogMessage("QX Camera Cell Load Position Fix: could not hook at least one required camera; disabling");
  return false;
}

}  // namespace

extern "C" void FixCellLoadCameraPosition() noexcept {
  game::PlayerCamera* camera = gCellLoadCamera;
  if (camera == nullptr) return;
  if (gThirdPersonState == nullptr && !FindThirdPersonState(*camera)) return;
  // Only the all-zero word: -0.0 is a value the camera chose.
  if (camera->activeState == gThirdPersonState &&
      std::bit_cast<std::uint32_t>(gThirdPersonState->positionNudge) == 0) {
    gThirdPersonState->positionNudge = std::bit_cast<float>(game::kPositionNudgeBits);
    gThirdPersonState->recomputePosition = 1;
  }
}

// The five replaced bytes are the call itself: it is made after the fix, with the game's
// registers and stack, and its result stays in eax.
extern "C" const host::Address kCellLoadCalleeWord asm("qx_cell_load_callee") = game::kCellLoadCallee;
extern "C" const host::Address kCellLoadResumeWord asm("qx_cell_load_resume") =
    game::kCellLoadCallResume;

extern "C" __attribute__((naked)) void CellLoadPositionTrampoline() asm("qx_cell_load_position_trampoline");
extern "C" __attribute__((naked)) void CellLoadPositionTrampoline() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      "  call qx_fix_cell_load_camera_position\n"
      QX_ASM_RESTORE_GAME_REGISTERS
      "  call dword ptr [qx_cell_load_callee]\n"
      "  jmp dword ptr [qx_cell_load_resume]\n"
      QX_ASM_END);
}

void InstallCellLoadPositionFix(ProjectIni&) {
  WriteRelBranch(game::kCellLoadCallSite, kOpcodeJump, AddressOf(&CellLoadPositionTrampoline));
  LogMessage("QX Inject: camera cell load position fix loaded");
}

}  // namespace qx::camera
