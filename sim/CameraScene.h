#pragma once
// The game's camera and sound objects as they stand once its data is loaded: the player
// camera with a state in each of its 13 table slots (slot i holds the state with id i), the
// player character, the tween menu's camera view and a sound with its reference position.
// Tests change them and run the camera and sound sites on them.
#include <cstddef>
#include <cstdint>

#include "skse/GameActor.h"
#include "skse/GameAudio.h"
#include "skse/GameCamera.h"

namespace sim {

// The game's own values, where its code (not the plugin) writes them.
inline constexpr float kGameTweenMenuZoom = 3.0f;
inline constexpr std::uint32_t kGameTweenMenuPan = 0x3F800000;  // 1.0f, written by the pan step
inline constexpr std::uint32_t kCellLoadCalleeResult = 0x0CE11C0D;

struct TweenMenuObject {
  qx::game::TweenMenuCameraView view;
  std::uint32_t pan;  // 3C the pan step's value
};
static_assert(offsetof(TweenMenuObject, pan) == 0x3C);

struct CameraScene {
  qx::game::PlayerCamera camera{};
  qx::game::ThirdPersonState states[qx::game::kCameraStateTableSize]{};
  std::uint32_t heldValues[qx::game::kCameraStateTableSize]{};  // states[i].heldValue points here
  qx::game::Actor player{};
  TweenMenuObject tweenMenu{};
  qx::game::SoundObject sound{};
  qx::game::ReferencePosition reference{};

  // Builds the table, the third-person state active, and publishes the camera and the
  // player character as the game's singletons.
  CameraScene();

  [[nodiscard]] qx::game::ThirdPersonState* State(std::uint32_t id) { return &states[id]; }
  void Activate(std::uint32_t id) { camera.activeState = State(id); }
  void RemoveFromTable(std::uint32_t id) { camera.cameraStates[id] = nullptr; }
  // Clears the camera singleton, as before the game has made the camera.
  void HideCamera();
};

// How often the game's callees at the cell-load and horse sites ran.
struct CameraCalleeCalls {
  static inline unsigned cellLoad = 0;
  static inline unsigned horse = 0;
};

// Before sealing: the site code of the camera and sound sites and their host callees.
void PlaceCameraSites();

}  // namespace sim
