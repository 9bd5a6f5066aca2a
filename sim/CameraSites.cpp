// The game's code at the camera and sound sites, as far as the plugin's patches reach, and
// the two routines those sites call.
#include "sim/CameraScene.h"
#include "sim/GameRegion.h"
#include "sim/SiteRunner.h"
#include "skse/HostCall.h"

namespace sim {
namespace {

using namespace qx::game;

std::uint32_t QX_CDECL CellLoadCallee() {
  ++CameraCalleeCalls::cellLoad;
  return kCellLoadCalleeResult;
}

void QX_CDECL HorseCamCallee() { ++CameraCalleeCalls::horse; }

void PlaceBytes(std::uintptr_t at, const std::vector<std::uint8_t>& bytes) {
  WriteGameBytes(at, bytes.data(), bytes.size());
}

}  // namespace

void PlaceCameraSites() {
  PlaceRoutine(kCellLoadCallee, reinterpret_cast<const void*>(&CellLoadCallee));
  PlaceRoutine(kHorseCamCallee, reinterpret_cast<const void*>(&HorseCamCallee));

  // mov edi,[esi+0x20]; mov ebx,[esp+0x10]; cmp ebx,edi
  PlaceSiteCode(kCameraSetStateSite, {0x8B, 0x7E, 0x20, 0x8B, 0x5C, 0x24, 0x10, 0x3B, 0xDF});
  PlaceResumeCatcher(kCameraSetStateResume);

  PlaceBytes(kCellLoadCallSite, RelBranch(0xE8, kCellLoadCallSite, kCellLoadCallee));
  PlaceResumeCatcher(kCellLoadCallResume);

  // call the callee; mov ecx,[esi+0xC0]; and dword ptr [ecx],0; nop
  PlaceBytes(kHorseCamSite, RelBranch(0xE8, kHorseCamSite, kHorseCamCallee));
  PlaceSiteCode(kHorseCamSite + 5, {0x8B, 0x8E, 0xC0, 0x00, 0x00, 0x00, 0x83, 0x21, 0x00, 0x90});
  PlaceResumeCatcher(kHorseCamResume);

  // mov dword ptr [esi+0x38], 3.0f; ecx := A; [esi+0x24] := ecx; edx := B; [esi+0x28] := edx;
  // [esi+0x2C] := ecx; [esi+0x30] := edx; nop up to the resume
  PlaceSiteCode(kTweenMenuZoomSite,
                {0xC7, 0x46, 0x38, 0x00, 0x00, 0x40, 0x40,  //
                 0xB9, 0xCC, 0x12, 0xB9, 0x01, 0x89, 0x4E, 0x24,  //
                 0xBA, 0xD0, 0x12, 0xB9, 0x01, 0x89, 0x56, 0x28,  //
                 0x89, 0x4E, 0x2C, 0x89, 0x56, 0x30,  //
                 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
  PlaceResumeCatcher(kTweenMenuZoomResume);

  // the pan step: mov dword ptr [esi+0x3C], 1.0f
  PlaceSiteCode(kTweenMenuPanSite, {0xC7, 0x46, 0x3C, 0x00, 0x00, 0x80, 0x3F});
  PlaceResumeCatcher(kTweenMenuPanResume);

  // fld dword ptr [edi]; fsub dword ptr [eax]; fstp dword ptr [esp+0x20]
  PlaceSiteCode(kSoundPlacementSite, {0xD9, 0x07, 0xD8, 0x20, 0xD9, 0x5C, 0x24, 0x20});
  PlaceResumeCatcher(kSoundPlacementResume);
}

}  // namespace sim
