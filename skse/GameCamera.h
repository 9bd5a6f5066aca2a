#pragma once
// The player camera, its camera states, the tween menu's camera view, and the camera code
// sites the plugin patches (runtime 1.9.32.0).
#include <cstddef>
#include <cstdint>

#include "skse/HostCall.h"
#include "skse/PatchSpan.h"

namespace qx::game {

// Camera state ids, the only way the plugin tells states apart.
inline constexpr std::uint32_t kCameraState_FirstPerson = 0;
inline constexpr std::uint32_t kCameraState_KillCam = 2;
inline constexpr std::uint32_t kCameraState_Furniture = 5;
inline constexpr std::uint32_t kCameraState_ThirdPerson = 9;
inline constexpr std::uint32_t kCameraState_Horse = 10;

inline constexpr std::size_t kCameraStateTableSize = 13;

struct TESCameraState {
  void* vtable;                    // 00
  std::uint32_t unk04;             // 04
  std::uint32_t unk08;             // 08
  std::uint32_t stateId;           // 0C
};
static_assert(offsetof(TESCameraState, stateId) == 0x0C);

// The third-person camera state; the horse state shares its layout.
struct ThirdPersonState : TESCameraState {
  std::uint8_t unk10[0x84 - 0x10];  // 10
  std::uint32_t unk84;              // 84 cleared when it stands in for the furniture camera
  std::uint8_t unk88[0xB0 - 0x88];  // 88
  float positionNudge;              // B0 a small non-zero value makes the state re-place itself
  std::uint8_t recomputePosition;   // B4 set together with positionNudge
  std::uint8_t unkB5[0xC0 - 0xB5];  // B5
  std::uint32_t* heldValue;         // C0 the value the game clears at the horse site
};
static_assert(offsetof(ThirdPersonState, unk84) == 0x84);
static_assert(offsetof(ThirdPersonState, positionNudge) == 0xB0);
static_assert(offsetof(ThirdPersonState, recomputePosition) == 0xB4);
static_assert(offsetof(ThirdPersonState, heldValue) == 0xC0);

// The float bits stored at positionNudge: -0.001f.
inline constexpr std::uint32_t kPositionNudgeBits = 0xBA83126F;

struct PlayerCamera {
  std::uint8_t unk00[0x20];                          // 00
  TESCameraState* activeState;                       // 20
  std::uint8_t unk24[0x6C - 0x24];                   // 24
  TESCameraState* cameraStates[kCameraStateTableSize];  // 6C .. 9C, entries may be null
};
static_assert(offsetof(PlayerCamera, activeState) == 0x20);
static_assert(offsetof(PlayerCamera, cameraStates) == 0x6C);
static_assert(offsetof(PlayerCamera, cameraStates[12]) == 0x9C);

// The tween menu's camera view (esi at the zoom site).
struct TweenMenuCameraView {
  std::uint8_t unk00[0x24];  // 00
  std::uint32_t unk24;       // 24 kTweenMenuViewDataA
  std::uint32_t unk28;       // 28 kTweenMenuViewDataB
  std::uint32_t unk2C;       // 2C kTweenMenuViewDataA
  std::uint32_t unk30;       // 30 kTweenMenuViewDataB
  std::uint32_t unk34;       // 34
  float zoom;                // 38
};
static_assert(offsetof(TweenMenuCameraView, unk24) == 0x24);
static_assert(offsetof(TweenMenuCameraView, unk30) == 0x30);
static_assert(offsetof(TweenMenuCameraView, zoom) == 0x38);

// Two addresses in the game's data, stored as plain values into the tween menu's view.
inline constexpr host::Address kTweenMenuViewDataA = 0x01B912CC;
inline constexpr host::Address kTweenMenuViewDataB = 0x01B912D0;

// Switching the player camera to a new state: esi = camera, [esp+0x10] = requested state.
// Nine bytes: mov edi,[esi+0x20]; mov ebx,[esp+0x10]; cmp ebx,edi.
inline constexpr host::Address kCameraSetStateSite = 0x006533EC;
inline constexpr host::Address kCameraSetStateResume = 0x006533F5;
inline constexpr host::Address kCameraSetStateInstructions[] = {0x006533EF, 0x006533F3};
inline constexpr host::PatchSpan kCameraSetStateSpan{kCameraSetStateSite, kCameraSetStateResume,
                                                     kCameraSetStateInstructions};

// A call in the cell-loading path.
inline constexpr host::Address kCellLoadCallSite = 0x00743161;
inline constexpr host::Address kCellLoadCallee = 0x004D5EB0;
inline constexpr host::Address kCellLoadCallResume = 0x00743166;
inline constexpr host::PatchSpan kCellLoadCallSpan{kCellLoadCallSite, kCellLoadCallResume, {}};

// A call, then ten bytes that clear the value [esi+0xC0] points to (esi = a camera state).
inline constexpr host::Address kHorseCamSite = 0x0083B003;
inline constexpr host::Address kHorseCamCallee = 0x0083FB70;
inline constexpr host::Address kHorseCamResume = 0x0083B012;
// The first of the ten bytes after the call. (Where their later instructions begin is not
// known here: a branch written over them after load still shows, as a changed stretch.)
inline constexpr host::Address kHorseCamInstructions[] = {0x0083B008};
inline constexpr host::PatchSpan kHorseCamSpan{kHorseCamSite, kHorseCamResume, kHorseCamInstructions};

// The tween menu's camera set-up: the zoom stretch and the pan step.
inline constexpr host::Address kTweenMenuZoomSite = 0x0084108E;
inline constexpr host::Address kTweenMenuZoomResume = 0x008410B4;
inline constexpr host::Address kTweenMenuPanSite = 0x008412D3;
inline constexpr std::uint32_t kTweenMenuPanSkip = 2;  // displacement: on to 0x008412DA
inline constexpr host::Address kTweenMenuPanResume = 0x008412DA;
// Where instructions begin inside the zoom stretch and the pan step's seven bytes is not
// known here either (see the horse camera).
inline constexpr host::PatchSpan kTweenMenuZoomSpan{kTweenMenuZoomSite, kTweenMenuZoomResume, {}};
inline constexpr host::PatchSpan kTweenMenuPanSpan{kTweenMenuPanSite, kTweenMenuPanResume, {}};

}  // namespace qx::game
