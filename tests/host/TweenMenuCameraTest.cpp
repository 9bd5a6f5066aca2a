#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;

constexpr std::uint32_t kDataA = 0x01B912CC;
constexpr std::uint32_t kDataB = 0x01B912D0;

// The tween menu sets up its camera: the zoom stretch, then (later) the pan step.
sim::SiteExit OpenTweenMenu(sim::CameraScene& scene) {
  scene.tweenMenu = {};
  sim::SiteEntry entry;
  entry.address = qx::game::kTweenMenuZoomSite;
  entry.registers = MarkedRegisters();
  entry.registers.esi = Word(&scene.tweenMenu);
  entry.stack = {1, 2, 3};
  sim::SiteExit exit = sim::RunSite(entry);
  ExpectGameStateKept(entry, exit, qx::game::kTweenMenuZoomResume);
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx);
  EXPECT_EQ(exit.registers.edi, entry.registers.edi);
  EXPECT_EQ(exit.stack, entry.stack);
  const qx::game::TweenMenuCameraView& view = scene.tweenMenu.view;
  EXPECT_EQ(view.unk24, kDataA);
  EXPECT_EQ(view.unk28, kDataB);
  EXPECT_EQ(view.unk2C, kDataA);
  EXPECT_EQ(view.unk30, kDataB);

  entry.address = qx::game::kTweenMenuPanSite;
  sim::SiteExit pan = sim::RunSite(entry);
  EXPECT_EQ(pan.resumedAt, qx::game::kTweenMenuPanResume);
  EXPECT_EQ(pan.espDelta, 0);
  ExpectSseRegistersKept(pan);
  return exit;
}

TEST(TweenMenuCamera, ZoomFromTheSettingsEachTimeTheMenuOpens) {
  BootWithSettings("[cameratweaks]\nchangetweenmenuzoom=1\n");
  sim::CameraScene scene;
  for (int i = 0; i < 2; ++i) {
    sim::SiteExit exit = OpenTweenMenu(scene);
    EXPECT_EQ(scene.tweenMenu.view.zoom, 10.0f);
    EXPECT_EQ(exit.registers.eax, kDataA);
    EXPECT_EQ(exit.registers.ecx, kDataB);
    EXPECT_EQ(exit.registers.edx, kDataB);
    EXPECT_EQ(scene.tweenMenu.pan, sim::kGameTweenMenuPan);  // the pan step still runs
  }
  EXPECT_TRUE(HasLine(LogLines(), "QX Inject: tween menu changes loaded"));
}

TEST(TweenMenuCamera, ConfiguredZoomIsStoredUnchanged) {
  BootWithSettings("[cameratweaks]\nchangetweenmenuzoom=1\ntweenmenuzoom=-2.5\n");
  sim::CameraScene scene;
  OpenTweenMenu(scene);
  EXPECT_EQ(scene.tweenMenu.view.zoom, -2.5f);
}

TEST(TweenMenuCamera, PanOnlySkipsThePanStepAndKeepsTheGamesZoom) {
  BootWithSettings("[cameratweaks]\ndisabletweenmenupan=1\ntweenmenuzoom=7\n");
  sim::CameraScene scene;
  OpenTweenMenu(scene);
  EXPECT_EQ(scene.tweenMenu.view.zoom, sim::kGameTweenMenuZoom);
  EXPECT_EQ(scene.tweenMenu.pan, 0u);
  ASSERT_EQ(sim::PatchedSites().size(), 1u);
  EXPECT_TRUE(HasLine(LogLines(), "QX Inject: tween menu changes loaded"));
}

TEST(TweenMenuCamera, BothOffLeaveTheGamesSetUp) {
  BootWithSettings("[cameratweaks]\ntweenmenuzoom=7\n");
  sim::CameraScene scene;
  OpenTweenMenu(scene);
  EXPECT_EQ(scene.tweenMenu.view.zoom, sim::kGameTweenMenuZoom);
  EXPECT_EQ(scene.tweenMenu.pan, sim::kGameTweenMenuPan);
  EXPECT_FALSE(HasLine(LogLines(), "QX Inject: tween menu changes loaded"));
}

}  // namespace
