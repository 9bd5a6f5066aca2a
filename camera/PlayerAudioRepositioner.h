#pragma once
// Outside first-person view, sounds the game places relative to a reference position are
// moved so that they are placed relative to the player character instead.
#include "skse/GameCamera.h"

namespace qx {
class ProjectIni;
}

namespace qx::camera {

// The settings as copied at install; later changes to the settings object do not reach them.
struct PlayerAudioSettings {
  bool isEnabled = false;
  bool useThreshold = false;
  bool enableThresholdLogging = false;
  float thresholdX = 0.0f;
  float thresholdY = 0.0f;
  float thresholdZ = 0.0f;
  float addX = 0.0f;
  float addY = 0.0f;
  float addZ = 0.0f;
};
inline PlayerAudioSettings gPlayerAudio;

// Set on the data-loaded message; null makes the repositioner do nothing.
inline game::PlayerCamera* gPlayerAudioCamera = nullptr;

void InstallPlayerAudioRepositioner(ProjectIni& settings);

// Whether `sound` lies within `threshold` of `player`, bounds included, in single precision.
// A negative threshold, or one that is not a number, switches the test off for that axis.
[[nodiscard]] bool AxisWithinThreshold(float sound, float player, float threshold) noexcept;

extern "C" void RepositionPlayerAudio(float* soundX, float* soundY, float* soundZ, float refX,
                                      float refY, float refZ) noexcept
    asm("qx_reposition_player_audio");

}  // namespace qx::camera
