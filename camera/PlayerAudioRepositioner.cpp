#include "camera/PlayerAudioRepositioner.h"

#include "common/IDebugLog.h"
#include "common/KeepSseRegisters.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "settings/ProjectIni.h"
#include "skse/GameActor.h"
#include "skse/GameAudio.h"
#include "skse/GameGlobals.h"

namespace qx::camera {
namespace {

game::TESCameraState* gFirstPersonState = nullptr;

QX_BEGIN_KEEPING_SSE_REGISTERS

// The x87 unit keeps intermediate results in extended precision; the game works on rounded
// floats, and so must every step here. (Rounding each sum of two floats from the x87's
// 64-bit significand gives the float the game's own arithmetic gives.)
[[nodiscard]] float Single(float value) noexcept {
  volatile float rounded = value;
  return rounded;
}

bool FindFirstPersonState(const game::PlayerCamera& camera) noexcept {
  for (game::TESCameraState* state : camera.cameraStates) {
    if (state != nullptr && state->stateId == game::kCameraState_FirstPerson) {
      gFirstPersonState = state;
      LogMessage("QX Audio Repositioner: hooked first-person cam");
    }
  }
  if (gFirstPersonState != nullptr) return true;
  LogMessage("QX Audio Repositioner: could not hook at least one required camera; disabling");
  return false;
}

}  // namespace

bool AxisWithinThreshold(float sound, float player, float threshold) noexcept {
  if (!(threshold >= 0.0f)) return true;  // only 0 or more is a test: not negatives, not NaN
  return Single(player + threshold) >= sound && sound >= Single(player - threshold);
}

extern "C" void RepositionPlayerAudio(float* soundX, float* soundY, float* soundZ, float refX,
                                      float refY, float /*refZ: not used*/) noexcept {
  const PlayerAudioSettings& s = gPlayerAudio;
  game::PlayerCamera* camera = gPlayerAudioCamera;
  auto* player = host::Global<game::Actor*>(game::kPlayerCharacterSingleton);
  if (camera == nullptr || !s.isEnabled || soundX == nullptr || soundY == nullptr ||
      soundZ == nullptr || player == nullptr) {
    return;
  }
  if (gFirstPersonState == nullptr && !FindFirstPersonState(*camera)) return;
  if (camera->activeState == gFirstPersonState) return;

  float x = *soundX, y = *soundY, z = *soundZ;
  float px = player->posX, py = player->posY, pz = player->posZ;
  if (s.useThreshold &&
      !(AxisWithinThreshold(x, px, s.thresholdX) && AxisWithinThreshold(y, py, s.thresholdY) &&
        AxisWithinThreshold(z, pz, s.thresholdZ))) {
    if (s.enableThresholdLogging) {
      LogMessage("QX Audio Repositioner: out-of-range SFX (%.4f, %.4f, %.4f) relative to player (%.4f, %.4f, %.4f)",
                 static_cast<double>(x), static_cast<double>(y), static_cast<double>(z),
                 static_cast<double>(px), static_cast<double>(py), static_cast<double>(pz));
    }
    return;
  }
  *soundX = Single(Single(Single(refX - px) + x) + s.addX);
  *soundY = Single(Single(Single(refY - py) + y) + s.addY);
  *soundZ = Single(z + s.addZ);
}

QX_END_KEEPING_SSE_REGISTERS

// At the site: esi = sound object, eax = reference position, edi = a float, and whatever the
// game holds in the floating-point unit, which the routine's own x87 work must not touch. The
// routine gets the sound's x, y, z addresses and the reference's x, y, z; then the eight
// replaced bytes run with the game's registers: fld [edi]; fsub [eax]; fstp [esp+0x20].
static_assert(offsetof(game::SoundObject, posX) == 0x134 && offsetof(game::SoundObject, posY) == 0x13C &&
              offsetof(game::SoundObject, posZ) == 0x138, "the trampoline spells these offsets out");

extern "C" const host::Address kSoundPlacementResumeWord asm("qx_sound_placement_resume") =
    game::kSoundPlacementResume;

extern "C" __attribute__((naked)) void PlayerAudioTrampoline() asm("qx_player_audio_trampoline");
extern "C" __attribute__((naked)) void PlayerAudioTrampoline() {
  asm(QX_ASM_BEGIN
      QX_ASM_SAVE_GAME_REGISTERS
      QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE
      "  push dword ptr [eax+8]\n"
      "  push dword ptr [eax+4]\n"
      "  push dword ptr [eax]\n"
      "  lea ecx, [esi+0x138]\n"
      "  push ecx\n"
      "  lea ecx, [esi+0x13C]\n"
      "  push ecx\n"
      "  lea ecx, [esi+0x134]\n"
      "  push ecx\n"
      "  call qx_reposition_player_audio\n"
      "  add esp, 24\n"
      QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE
      QX_ASM_RESTORE_GAME_REGISTERS
      "  fld dword ptr [edi]\n"
      "  fsub dword ptr [eax]\n"
      "  fstp dword ptr [esp+0x20]\n"
      "  jmp dword ptr [qx_sound_placement_resume]\n"
      QX_ASM_END);
}

void InstallPlayerAudioRepositioner(ProjectIni& settings) {
  gPlayerAudio = {settings.parIsEnabled, settings.parUseThreshold,
                  settings.parEnableThresholdLogging, settings.parThresX, settings.parThresY,
                  settings.parThresZ, settings.parAddX, settings.parAddY, settings.parAddZ};
  WriteRelBranch(game::kSoundPlacementSite, kOpcodeJump, AddressOf(&PlayerAudioTrampoline));
  LogMessage("QX Inject: player audio repositioner loaded");
}

}  // namespace qx::camera
