// Install steps 1 to 4: which branches Load writes into the game's code, in which order it
// logs them, and that the code pages keep their protection.
#include <algorithm>
#include <iterator>

#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;

bool InGame(std::uintptr_t address) {
  return address >= sim::kGameRegionBegin && address < sim::kGameRegionEnd;
}

constexpr const char* kAllFourSettings =
    "[general]\nenableavpercentfix=1\nenablejumpbonusfix=1\nenablebashbugfix=1\n"
    "enablehealthgating=1\n[healthgating]\nisenabled=1\n";

TEST(GameplayFixesInstall, AllFourWriteTheirBranchesIntoThePlugin) {
  sim::Game::Start();
  std::uint32_t protection = sim::CodeProtection(0x005067DF);
  ASSERT_TRUE(BootWithSettings(kAllFourSettings).loaded);
  struct Expected {
    std::uintptr_t site;
    std::uint8_t opcode;
  };
  Expected expected[] = {
      {0x005067DF, 0xE8}, {0x00506A0C, 0xE8}, {0x00506A8C, 0xE8}, {0x008DA706, 0xE8},
      {0x006B5A39, 0xE9}, {0x00780D1A, 0xE9}, {0x007807A4, 0xE9}, {0x006AC333, 0xE8},
  };
  std::vector<sim::PatchedSite> sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), std::size(expected));
  std::sort(std::begin(expected), std::end(expected),
            [](const Expected& a, const Expected& b) { return a.site < b.site; });
  std::vector<std::uintptr_t> targets;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    const Expected& e = expected[i];
    EXPECT_EQ(sites[i].site, e.site);
    EXPECT_EQ(sites[i].opcode, e.opcode) << std::hex << e.site;
    EXPECT_FALSE(InGame(sites[i].Target())) << std::hex << e.site << " leads into the game";
    EXPECT_EQ(sim::CodeProtection(e.site), protection) << std::hex << e.site;
    targets.push_back(sites[i].Target());
  }
  std::sort(targets.begin(), targets.end());
  EXPECT_EQ(std::unique(targets.begin(), targets.end()), targets.end()) << "one routine per site";

  Lines inject = LinesStartingWith(LogLines(), "QX Inject: ");
  EXPECT_EQ(inject, (Lines{"QX Inject: actor value percentage fix loaded",
                           "QX Inject: jump bonus fix loaded", "QX Inject: bash bug fix loaded",
                           "QX Inject: health gating loaded; current status ENABLED",
                           "QX Inject: papyrus functions loaded"}));
}

TEST(GameplayFixesInstall, HealthGatingSwitchedOffWritesNothingButSaysSo) {
  BootWithSettings("[general]\nenableavpercentfix=1\nenablehealthgating=1\n[healthgating]\nisenabled=0\n");
  std::vector<sim::PatchedSite> sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 4u) << "the actor value fix alone";
  EXPECT_EQ(sites.back().site, 0x008DA706u);
  Lines inject = LinesStartingWith(LogLines(), "QX Inject: ");
  EXPECT_EQ(inject, (Lines{"QX Inject: actor value percentage fix loaded",
                           "QX Inject: health gating loaded; current status DISABLED",
                           "QX Inject: papyrus functions loaded"}));
}

TEST(GameplayFixesInstall, HealthGatingNeedsTheActorValueFix) {
  BootWithSettings("[general]\nenablehealthgating=1\n[healthgating]\nisenabled=1\n");
  Lines lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Health Gating: cannot enable (AV percentage fix is not enabled)"));
  EXPECT_EQ(LinesStartingWith(lines, "QX Inject: "), (Lines{"QX Inject: papyrus functions loaded"}));
  EXPECT_TRUE(sim::PatchedSites().empty());
}

}  // namespace
