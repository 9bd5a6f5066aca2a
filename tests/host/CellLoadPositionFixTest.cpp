#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;
using qx::game::kCameraState_ThirdPerson;

sim::SiteExit PassCellLoadCall(sim::CameraScene& scene) {
  sim::SiteEntry entry;
  entry.address = qx::game::kCellLoadCallSite;
  entry.registers = MarkedRegisters();
  entry.registers.esi = Word(&scene.camera);
  entry.stack = {0x11, 0x22, 0x33};
  unsigned callsBefore = sim::CameraCalleeCalls::cellLoad;
  sim::SiteExit exit = sim::RunSite(entry);
  ExpectGameStateKept(entry, exit, qx::game::kCellLoadCallResume, SiteCalls::kYes);
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx);
  EXPECT_EQ(exit.registers.edi, entry.registers.edi);
  EXPECT_EQ(exit.registers.eax, sim::kCellLoadCalleeResult);
  EXPECT_EQ(exit.stack, entry.stack);
  EXPECT_EQ(sim::CameraCalleeCalls::cellLoad, callsBefore + 1);  // the game's call, every pass
  return exit;
}

void SetNudge(sim::CameraScene& scene, std::uint32_t bits) {
  std::memcpy(&scene.State(kCameraState_ThirdPerson)->positionNudge, &bits, 4);
  scene.State(kCameraState_ThirdPerson)->recomputePosition = 0;
}

std::uint32_t Nudge(sim::CameraScene& scene) {
  return FloatBits(scene.State(kCameraState_ThirdPerson)->positionNudge);
}

TEST(CellLoadPositionFix, ActiveThirdPersonAtExactlyZeroIsNudged) {
  BootWithSettings("[cameratweaks]\nenable3pcellloadpositionfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();

  SetNudge(scene, 0x80000000);  // -0.0 is not the all-zero word
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0x80000000u);
  EXPECT_EQ(scene.State(kCameraState_ThirdPerson)->recomputePosition, 0);

  SetNudge(scene, 0);
  scene.Activate(qx::game::kCameraState_Horse);
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0u);

  scene.Activate(kCameraState_ThirdPerson);
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0xBA83126Fu);
  EXPECT_EQ(scene.State(kCameraState_ThirdPerson)->recomputePosition, 1);

  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Inject: camera cell load position fix loaded"));
  EXPECT_EQ(CountLines(lines, "QX Camera Cell Load Position Fix: hooked third-person cam"), 1u);
}

TEST(CellLoadPositionFix, NothingChangesBeforeDataLoadOrWithoutAThirdPersonState) {
  BootWithSettings("[cameratweaks]\nenable3pcellloadpositionfix=1\n");
  sim::CameraScene scene;
  SetNudge(scene, 0);
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0u);

  scene.RemoveFromTable(kCameraState_ThirdPerson);
  sim::Game::SendDataLoaded();
  PassCellLoadCall(scene);
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0u);
  EXPECT_EQ(CountLines(LogLines(), "QX Camera Cell Load Position Fix: could not hook at least one required camera; disabling"),
            2u);
}

TEST(CellLoadPositionFix, UnpatchedCallRunsAlone) {
  BootWithSettings("[cameratweaks]\nenablehorsecamfix=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  SetNudge(scene, 0);
  PassCellLoadCall(scene);
  EXPECT_EQ(Nudge(scene), 0u);
}

}  // namespace
