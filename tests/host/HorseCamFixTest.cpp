#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;
using qx::game::kCameraState_Horse;
using qx::game::kCameraState_ThirdPerson;

constexpr std::uint32_t kHeld = 0x12345678;

// The game reaches the site with esi = the camera state whose value it clears.
std::uint32_t PassHorseSite(sim::CameraScene& scene, std::uint32_t stateId) {
  scene.heldValues[stateId] = kHeld;
  sim::SiteEntry entry;
  entry.address = qx::game::kHorseCamSite;
  entry.registers = MarkedRegisters();
  entry.registers.esi = Word(scene.State(stateId));
  entry.stack = {7, 8};
  unsigned callsBefore = sim::CameraCalleeCalls::horse;
  sim::SiteExit exit = sim::RunSite(entry);
  ExpectGameStateKept(entry, exit, qx::game::kHorseCamResume, SiteCalls::kYes);
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx);
  EXPECT_EQ(exit.registers.edi, entry.registers.edi);
  EXPECT_EQ(exit.stack, entry.stack);
  EXPECT_EQ(sim::CameraCalleeCalls::horse, callsBefore + 1);
  return scene.heldValues[stateId];
}

TEST(HorseCamFix, HorseStateKeepsItsValueOthersAreCleared) {
  BootWithSettings("[cameratweaks]\nenablehorsecamfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  EXPECT_EQ(PassHorseSite(scene, kCameraState_Horse), kHeld);
  EXPECT_EQ(PassHorseSite(scene, kCameraState_ThirdPerson), 0u);
  EXPECT_EQ(PassHorseSite(scene, kCameraState_Horse), kHeld);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Inject: horse cam fix loaded"));
  EXPECT_EQ(CountLines(lines, "QX Horse Cam Fix: hooked horse cam"), 1u);
}

TEST(HorseCamFix, ClearedBeforeDataLoadAndWhileNoHorseStateIsKnown) {
  BootWithSettings("[cameratweaks]\nenablehorsecamfix=1\n");
  sim::CameraScene scene;
  EXPECT_EQ(PassHorseSite(scene, kCameraState_Horse), 0u);

  scene.camera.cameraStates[kCameraState_Horse] = nullptr;
  sim::Game::SendDataLoaded();
  EXPECT_EQ(PassHorseSite(scene, kCameraState_Horse), 0u);
  EXPECT_EQ(CountLines(LogLines(), "QX Horse Cam Fix: could not hook horse cam; disabling"), 1u);
}

TEST(HorseCamFix, UnpatchedSiteClearsEveryState) {
  BootWithSettings("[cameratweaks]\nenable3pcellloadpositionfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  EXPECT_EQ(PassHorseSite(scene, kCameraState_Horse), 0u);
}

}  // namespace

namespace {

using namespace qxtest;

// The game would fault storing through a null pointer; the patched site passes over it.
TEST(HorseCamFix, NullValuePointerIsLeftAlone) {
  BootWithSettings("[cameratweaks]\nenablehorsecamfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  qx::game::ThirdPersonState* third = scene.State(qx::game::kCameraState_ThirdPerson);
  third->heldValue = nullptr;
  sim::SiteEntry entry;
  entry.address = qx::game::kHorseCamSite;
  entry.registers.esi = Word(third);
  sim::SiteExit exit = sim::RunSite(entry);
  EXPECT_EQ(exit.resumedAt, qx::game::kHorseCamResume);
  EXPECT_EQ(exit.registers.esi, Word(third));
}

}  // namespace
