#include "camera/TweenMenuCamera.h"

#include "common/IDebugLog.h"
#include "common/KeepSseRegisters.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "settings/ProjectIni.h"
#include "skse/GameCamera.h"

namespace qx::camera {
namespace {

// Set before either patch is written, so the zoom site always finds it.
const ProjectIni* gSettings = nullptr;

}  // namespace

QX_BEGIN_KEEPING_SSE_REGISTERS
extern "C" float ReadTweenMenuZoom() noexcept { return gSettings->camTweenMenuZoom; }
QX_END_KEEPING_SSE_REGISTERS

// Stands in for the game's code from the zoom site up to its resume: esi = the camera view
// (TweenMenuCameraView: 0x24, 0x28, 0x2C, 0x30, zoom at 0x38). Leaves eax, ecx, edx holding
// the two data addresses as the game's own stretch does; everything else as it was, the
// floating-point state included.
extern "C" const host::Address kTweenMenuZoomResumeWord asm("qx_tween_menu_zoom_resume") =
    game::kTweenMenuZoomResume;

extern "C" __attribute__((naked)) void TweenMenuZoomTrampoline() asm("qx_tween_menu_zoom_trampoline");
extern "C" __attribute__((naked)) void TweenMenuZoomTrampoline() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_ALL_BUT_EAX
      "  push eax\n"
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "  call qx_read_tween_menu_zoom\n"
      "  fstp dword ptr [ebp]\n"  // the float's bits replace the saved eax
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      "  pop eax\n"
      QX_ASM_RESTORE_ALL_BUT_EAX
      "  mov dword ptr [esi+0x38], eax\n"
      "  mov ecx, 0x01B912CC\n"
      "  mov dword ptr [esi+0x24], ecx\n"
      "  mov edx, 0x01B912D0\n"
      "  mov dword ptr [esi+0x28], edx\n"
      "  mov eax, 0x01B912CC\n"
      "  mov dword ptr [esi+0x2C], eax\n"
      "  mov ecx, 0x01B912D0\n"
      "  mov dword ptr [esi+0x30], ecx\n"
      "  jmp dword ptr [qx_tween_menu_zoom_resume]\n"
      QX_ASM_END);
}
static_assert(game::kTweenMenuViewDataA == 0x01B912CC && game::kTweenMenuViewDataB == 0x01B912D0,
              "the zoom trampoline spells these addresses out");

void InstallTweenMenuChanges(ProjectIni& settings) {
  gSettings = &settings;
  if (settings.camChangeTweenMenuZoom) {
    WriteRelBranch(game::kTweenMenuZoomSite, kOpcodeJump, AddressOf(&TweenMenuZoomTrampoline));
  }
  if (settings.camDisableTweenMenuPan) {
    WriteRelBranchDisplacement(game::kTweenMenuPanSite, kOpcodeJump, game::kTweenMenuPanSkip);
  }
  LogMessage("QX Inject: tween menu changes loaded");
}

}  // namespace qx::camera
