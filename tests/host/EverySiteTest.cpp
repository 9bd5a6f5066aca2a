// Every patched site, entered with whatever the game may hold in the floating-point unit
// there, leaves that unit exactly as the game's own code at the site does; inside a game
// function, the flags too, wherever the general registers are left as the game's code leaves
// them.
#include "sim/EverySite.h"
#include "tests/host/HostFixture.h"

namespace {

// 53-bit precision rounding up; MXCSR rounding up, flushing to zero, precision flag raised.
constexpr std::uint16_t kGameFpuControl = 0x0A7F;
constexpr std::uint32_t kGameMxcsr = 0xDFE0;

TEST(EverySite, LeavesTheGamesFloatingPointStateAsItsOwnCodeDoes) {
  std::vector<sim::EverySiteRun> sites = sim::BootWithEveryFeature();
  ASSERT_FALSE(sites.empty());
  for (const sim::EverySiteRun& site : sites) {
    for (std::size_t held = 0; held <= (site.atACall ? 0 : sim::kMaxSiteFpuValues); ++held) {
      sim::SiteEntry entry = site.entry;
      for (std::size_t i = 0; i < held; ++i) entry.fpu.push_back(1.0 / 3 + static_cast<double>(i));
      entry.fpuControl = kGameFpuControl;
      entry.mxcsr = kGameMxcsr;
      sim::SiteExit game = sim::RunSiteUnpatched(entry);
      sim::SiteExit patched = sim::RunSite(entry);
      ASSERT_EQ(patched.resumedAt, site.resume) << site.name;
      if (site.atACall) {
        EXPECT_EQ(patched.FpuControl(), game.FpuControl()) << site.name;
        EXPECT_EQ(patched.Mxcsr(), game.Mxcsr()) << site.name;
        EXPECT_EQ(patched.fpuDepth, game.fpuDepth) << site.name;
      } else {
        EXPECT_EQ(sim::FloatStateDifferences(game, patched), "") << site.name << ", holding " << held;
        // Where a feature means to leave a register otherwise (the camera's chosen state,
        // which the game then compares), the flags may follow it; elsewhere they are the game's.
        constexpr std::uint32_t kStatusAndDirection = 0x0CD5;  // CF PF AF ZF SF DF OF
        if (patched.registers == game.registers) {
          EXPECT_EQ(patched.eflags & kStatusAndDirection, game.eflags & kStatusAndDirection) << site.name;
        }
      }
    }
  }
}

}  // namespace
