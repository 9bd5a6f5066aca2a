#include <algorithm>

#include "tests/host/CameraFixture.h"

namespace {

using namespace qxtest;

constexpr const char* kEverything =
    "[general]\nenableplayeraudiorepositioner=1\n"
    "[cameratweaks]\nenable3pcellloadpositionfix=1\nreplacefurniturecamwith3p=1\n"
    "enablehorsecamfix=1\nchangetweenmenuzoom=1\ndisabletweenmenupan=1\n";

bool InGameRegion(std::uintptr_t address) {
  return address >= sim::kGameRegionBegin && address < sim::kGameRegionEnd;
}

TEST(CameraInstall, EveryStepWritesItsBranchesInOrderAndLogsItsLine) {
  sim::Game::Start();
  std::uint32_t protectionBefore = sim::CodeProtection(qx::game::kCameraSetStateSite);
  ASSERT_NE(protectionBefore, 0u);
  ASSERT_TRUE(BootWithSettings(kEverything).loaded);

  std::vector<sim::PatchedSite> sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 6u);
  const std::uintptr_t expected[] = {
      qx::game::kCameraSetStateSite, qx::game::kCellLoadCallSite, qx::game::kHorseCamSite,
      qx::game::kTweenMenuZoomSite,  qx::game::kTweenMenuPanSite, qx::game::kSoundPlacementSite};
  for (std::size_t i = 0; i < sites.size(); ++i) {
    EXPECT_EQ(sites[i].site, expected[i]);
    EXPECT_EQ(sites[i].opcode, 0xE9);
    EXPECT_EQ(sim::CodeProtection(sites[i].site), protectionBefore) << std::hex << sites[i].site;
    if (sites[i].site == qx::game::kTweenMenuPanSite) {
      EXPECT_EQ(sites[i].displacement, 2);
      EXPECT_EQ(sites[i].Target(), qx::game::kTweenMenuPanResume);
    } else {
      EXPECT_FALSE(InGameRegion(sites[i].Target())) << std::hex << sites[i].site;  // the plugin
    }
  }

  EXPECT_EQ(LinesStartingWith(LogLines(), "QX Inject: "),
            (std::vector<std::string>{"QX Inject: player audio repositioner loaded",
                                      "QX Inject: camera cell load position fix loaded",
                                      "QX Inject: camera interceptor loaded",
                                      "QX Inject: horse cam fix loaded",
                                      "QX Inject: tween menu changes loaded",
                                      "QX Inject: papyrus functions loaded"}));
}

TEST(CameraInstall, KillCamFixAloneInstallsTheInterceptor) {
  BootWithSettings("[cameratweaks]\nenable3pkillcampositionfix=1\n");
  std::vector<sim::PatchedSite> sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].site, qx::game::kCameraSetStateSite);
}

TEST(CameraInstall, MissingCameraAtDataLoadLogsEachFeatureAfterTheDataLoadLines) {
  BootWithSettings(kEverything);
  sim::Game::SendDataLoaded();
  std::vector<std::string> lines = LogLines();
  auto complete = std::find(lines.begin(), lines.end(), "QX INI: post data load processing complete");
  ASSERT_NE(complete, lines.end());
  // The camera lines come right after the data-load lines; the book set-up follows them.
  std::vector<std::string> expected = {
      "QX Audio Repositioner: could not hook into primary camera; disabling",
      "QX Camera Cell Load Position Fix: could not hook into primary camera; disabling",
      "QX Camera Interceptor: could not hook into primary camera; disabling",
      "QX Horse Cam Fix: could not hook into camera; disabling"};
  ASSERT_GE(static_cast<std::size_t>(lines.end() - complete), expected.size() + 1);
  EXPECT_EQ(std::vector<std::string>(complete + 1, complete + 1 + expected.size()), expected);
  EXPECT_TRUE(LinesStartingWith(std::vector<std::string>(complete + 1 + expected.size(), lines.end()),
                                "QX Audio Repositioner")
                  .empty());
}

TEST(CameraInstall, CameraFoundAtDataLoadLogsNothingMore) {
  BootWithSettings(kEverything);
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  std::vector<std::string> lines = LogLines();
  auto complete = std::find(lines.begin(), lines.end(), "QX INI: post data load processing complete");
  ASSERT_NE(complete, lines.end());
  for (auto line = complete + 1; line != lines.end(); ++line) {
    EXPECT_EQ(line->find("could not hook"), std::string::npos) << *line;
  }
}

TEST(CameraInstall, SettingsWithoutCameraFeaturesPatchNothing) {
  BootWithSettings("[cameratweaks]\ntweenmenuzoom=4\n[playeraudiorepositioner]\nisenabled=1\n");
  sim::CameraScene scene;
  sim::Game::SendDataLoaded();
  EXPECT_TRUE(sim::PatchedSites().empty());
  EXPECT_TRUE(LinesStartingWith(LogLines(), "QX Inject: ").size() == 1);  // papyrus functions
}

}  // namespace
