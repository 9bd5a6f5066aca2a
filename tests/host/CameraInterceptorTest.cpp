#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;
using qx::game::kCameraState_Furniture;
using qx::game::kCameraState_KillCam;
using qx::game::kCameraState_ThirdPerson;

constexpr std::uint32_t kUntouched = 0x5A5A5A5A;

// Asks the camera to switch to `requested`, as the game's state-change routine does.
sim::SiteExit RequestState(sim::CameraScene& scene, std::uint32_t requested,
                           sim::SiteEntry* used = nullptr) {
  sim::SiteEntry entry;
  entry.address = qx::game::kCameraSetStateSite;
  entry.registers = MarkedRegisters();
  entry.registers.esi = Word(&scene.camera);
  entry.stack = {1, 2, 3, 4, Word(scene.State(requested)), 6};
  sim::SiteExit exit = sim::RunSite(entry);
  ExpectGameStateKept(entry, exit, qx::game::kCameraSetStateResume);
  EXPECT_EQ(exit.registers.eax, entry.registers.eax);
  EXPECT_EQ(exit.registers.ecx, entry.registers.ecx);
  EXPECT_EQ(exit.registers.edx, entry.registers.edx);
  EXPECT_EQ(exit.registers.edi, Word(scene.camera.activeState));
  EXPECT_EQ(exit.ZeroFlag(), exit.registers.ebx == exit.registers.edi);
  EXPECT_EQ(exit.stack, entry.stack);  // only ebx carries a substitute
  if (used != nullptr) *used = entry;
  return exit;
}

void MarkThirdPerson(sim::CameraScene& scene) {
  scene.State(kCameraState_ThirdPerson)->unk84 = kUntouched;
  scene.State(kCameraState_ThirdPerson)->positionNudge = 0.0f;
  scene.State(kCameraState_ThirdPerson)->recomputePosition = 0;
}

TEST(CameraInterceptor, FurnitureRequestGetsTheThirdPersonState) {
  BootWithSettings("[cameratweaks]\nreplacefurniturecamwith3p=1\n");
  sim::CameraScene scene;
  MarkThirdPerson(scene);
  sim::Game::SendDataLoaded();

  sim::SiteExit exit = RequestState(scene, kCameraState_Furniture);
  EXPECT_EQ(exit.registers.ebx, Word(scene.State(kCameraState_ThirdPerson)));
  EXPECT_EQ(scene.State(kCameraState_ThirdPerson)->unk84, 0u);

  // Other requests pass, and the kill-camera fix is off.
  scene.Activate(kCameraState_KillCam);
  exit = RequestState(scene, kCameraState_ThirdPerson);
  EXPECT_EQ(exit.registers.ebx, Word(scene.State(kCameraState_ThirdPerson)));
  EXPECT_EQ(FloatBits(scene.State(kCameraState_ThirdPerson)->positionNudge), 0u);

  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Inject: camera interceptor loaded"));
  EXPECT_EQ(CountLines(lines, "QX Camera Interceptor: hooked kill cam"), 1u);
  EXPECT_EQ(CountLines(lines, "QX Camera Interceptor: hooked furniture cam"), 1u);
  EXPECT_EQ(CountLines(lines, "QX Camera Interceptor: hooked third-person cam"), 1u);
}

TEST(CameraInterceptor, KillCamFixOnlyWhenThirdPersonTakesOverFromTheKillCamera) {
  BootWithSettings("[cameratweaks]\nenable3pkillcampositionfix=1\n");
  sim::CameraScene scene;
  MarkThirdPerson(scene);
  sim::Game::SendDataLoaded();
  qx::game::ThirdPersonState* third = scene.State(kCameraState_ThirdPerson);

  // From the furniture camera: nothing changes; a furniture request passes unchanged.
  scene.Activate(kCameraState_Furniture);
  EXPECT_EQ(RequestState(scene, kCameraState_ThirdPerson).registers.ebx, Word(third));
  EXPECT_EQ(FloatBits(third->positionNudge), 0u);
  EXPECT_EQ(third->recomputePosition, 0);
  scene.Activate(kCameraState_ThirdPerson);
  EXPECT_EQ(RequestState(scene, kCameraState_Furniture).registers.ebx,
            Word(scene.State(kCameraState_Furniture)));
  EXPECT_EQ(third->unk84, kUntouched);

  scene.Activate(kCameraState_KillCam);
  EXPECT_EQ(RequestState(scene, kCameraState_ThirdPerson).registers.ebx, Word(third));
  EXPECT_EQ(FloatBits(third->positionNudge), 0xBA83126Fu);
  EXPECT_EQ(third->recomputePosition, 1);
  EXPECT_EQ(third->unk84, kUntouched);
}

TEST(CameraInterceptor, BothSettingsReplaceFurnitureWithoutTheNudge) {
  BootWithSettings("[cameratweaks]\nreplacefurniturecamwith3p=1\nenable3pkillcampositionfix=1\n");
  sim::CameraScene scene;
  MarkThirdPerson(scene);
  sim::Game::SendDataLoaded();
  scene.Activate(kCameraState_KillCam);

  sim::SiteExit exit = RequestState(scene, kCameraState_Furniture);
  qx::game::ThirdPersonState* third = scene.State(kCameraState_ThirdPerson);
  EXPECT_EQ(exit.registers.ebx, Word(third));
  EXPECT_EQ(third->unk84, 0u);
  EXPECT_EQ(FloatBits(third->positionNudge), 0u);
  EXPECT_EQ(third->recomputePosition, 0);
}

TEST(CameraInterceptor, TableWithoutAFurnitureStateLogsAndPassesOnEveryChange) {
  BootWithSettings("[cameratweaks]\nreplacefurniturecamwith3p=1\nenable3pkillcampositionfix=1\n");
  sim::CameraScene scene;
  MarkThirdPerson(scene);
  scene.RemoveFromTable(kCameraState_Furniture);
  sim::Game::SendDataLoaded();
  scene.Activate(kCameraState_KillCam);

  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(RequestState(scene, kCameraState_Furniture).registers.ebx,
              Word(scene.State(kCameraState_Furniture)));
    EXPECT_EQ(RequestState(scene, kCameraState_ThirdPerson).registers.ebx,
              Word(scene.State(kCameraState_ThirdPerson)));
  }
  EXPECT_EQ(FloatBits(scene.State(kCameraState_ThirdPerson)->positionNudge), 0u);
  EXPECT_EQ(scene.State(kCameraState_ThirdPerson)->unk84, kUntouched);
  std::vector<std::string> lines = LogLines();
  EXPECT_EQ(CountLines(lines, "QX Camera Interceptor: could not hook at least one required camera; disabling"),
            6u);
  EXPECT_EQ(CountLines(lines, "QX Camera Interceptor: hooked furniture cam"), 0u);
}

TEST(CameraInterceptor, NothingChangesBeforeDataLoadOrWithoutACamera) {
  BootWithSettings("[cameratweaks]\nreplacefurniturecamwith3p=1\nenable3pkillcampositionfix=1\n");
  sim::CameraScene scene;
  MarkThirdPerson(scene);
  EXPECT_EQ(RequestState(scene, kCameraState_Furniture).registers.ebx,
            Word(scene.State(kCameraState_Furniture)));

  scene.HideCamera();
  sim::Game::SendDataLoaded();
  EXPECT_EQ(RequestState(scene, kCameraState_Furniture).registers.ebx,
            Word(scene.State(kCameraState_Furniture)));
  EXPECT_EQ(scene.State(kCameraState_ThirdPerson)->unk84, kUntouched);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Camera Interceptor: could not hook into primary camera; disabling"));
  EXPECT_TRUE(LinesStartingWith(lines, "QX Camera Interceptor: hooked").empty());
}

TEST(CameraInterceptor, UnpatchedSiteRunsTheGamesOwnCode) {
  BootWithSettings("[cameratweaks]\nenablehorsecamfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  sim::SiteExit exit = RequestState(scene, kCameraState_Furniture);
  EXPECT_EQ(exit.registers.ebx, Word(scene.State(kCameraState_Furniture)));
}

}  // namespace
