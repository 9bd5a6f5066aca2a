#include "sim/CameraScene.h"

#include "sim/HostGlobals.h"

namespace sim {

CameraScene::CameraScene() {
  for (std::uint32_t id = 0; id < qx::game::kCameraStateTableSize; ++id) {
    states[id].stateId = id;
    states[id].heldValue = &heldValues[id];
    camera.cameraStates[id] = &states[id];
  }
  Activate(qx::game::kCameraState_ThirdPerson);
  SetSingleton(qx::game::kPlayerCameraSingleton, &camera);
  SetSingleton(qx::game::kPlayerCharacterSingleton, &player);
}

void CameraScene::HideCamera() { SetSingleton<void>(qx::game::kPlayerCameraSingleton, nullptr); }

}  // namespace sim
