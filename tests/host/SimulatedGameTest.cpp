// The simulated game's own mechanics that every feature test relies on.
#include "tests/host/HostFixture.h"

#include "sim/SiteRunner.h"
#include "sim/VmStrings.h"
#include "skse/GameStrings.h"
#include "skse/HostCall.h"

namespace {

int QX_CDECL AddStandIn(int a, int b) { return a + b; }
int QX_THISCALL MemberStandIn(int* self, int add) { return *self + add; }

TEST(SimulatedGame, PlacedRoutinesAreCalledAtTheirGameAddress) {
  sim::MapGameRegion();
  sim::PlaceRoutine(0x00A00000, reinterpret_cast<const void*>(&AddStandIn));
  sim::PlaceRoutine(0x00A00010, reinterpret_cast<const void*>(&MemberStandIn));
  sim::SealGameCode();
  EXPECT_EQ(qx::host::Routine<int QX_CDECL(int, int)>(0x00A00000)(2, 40), 42);
  int value = 40;
  EXPECT_EQ(qx::host::Routine<int QX_THISCALL(int*, int)>(0x00A00010)(&value, 2), 42);
  EXPECT_TRUE(sim::PatchedSites().empty()) << "the game's own code is not a patch";
}

// Site code that changes xmm3 (xorps xmm3, xmm3) before its jump to the resume address,
// and site code that only jumps there.
TEST(SimulatedGame, TheSiteRunnerSeesEverySseRegisterThatTheCodeChanges) {
  sim::MapGameRegion();
  sim::PlaceSiteCode(0x00A00100, {0x0F, 0x57, 0xDB, 0xE9, 0xF8, 0x00, 0x00, 0x00});
  sim::PlaceSiteCode(0x00A00180, {0xEB, 0x7E});
  sim::PlaceResumeCatcher(0x00A00200);
  sim::SealGameCode();
  sim::SiteEntry entry;
  entry.address = 0x00A00100;
  sim::SiteExit exit = sim::RunSite(entry);
  EXPECT_EQ(exit.resumedAt, 0x00A00200u);
  EXPECT_EQ(exit.xmmChanged, 1u << 3);
  entry.address = 0x00A00180;
  exit = sim::RunSite(entry);
  EXPECT_EQ(exit.resumedAt, 0x00A00200u);
  EXPECT_EQ(exit.xmmChanged, 0u);
}

TEST(SimulatedGame, WritesOverSealedCodeAreListedAsPatches) {
  sim::Game::Start();
  const std::uint8_t jump[5] = {0xE9, 0x02, 0x00, 0x00, 0x00};
  std::uint32_t protection = sim::CodeProtection(0x008412D3);
  // A write as the plugin makes it: around the game's own protection.
  sim::ProtectRegion(0x00841000, 0x1000, true, true);
  std::memcpy(reinterpret_cast<void*>(0x008412D3), jump, sizeof(jump));
  sim::ProtectRegion(0x00841000, 0x1000, false, true);
  EXPECT_EQ(sim::CodeProtection(0x008412D3), protection);
  auto sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].site, 0x008412D3u);
  EXPECT_EQ(sites[0].opcode, 0xE9);
  EXPECT_EQ(sites[0].Target(), 0x008412DAu);

  // A call over the game's call keeps the first byte; the site is still the call's.
  sim::ProtectRegion(0x00506000, 0x1000, true, true);
  auto* call = reinterpret_cast<std::uint8_t*>(0x00506A8C);
  ASSERT_EQ(call[0], 0xE8);
  call[2] ^= 0x01;
  sim::ProtectRegion(0x00506000, 0x1000, false, true);
  sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 2u);
  EXPECT_EQ(sites[0].site, 0x00506A8Cu);
  EXPECT_EQ(sites[0].opcode, 0xE8);

  // ... also when the first changed displacement byte happens to read as a jump opcode.
  sim::ProtectRegion(0x008DA000, 0x1000, true, true);
  auto* second = reinterpret_cast<std::uint8_t*>(0x008DA706);
  ASSERT_EQ(second[0], 0xE8);
  second[1] = 0xE9;
  sim::ProtectRegion(0x008DA000, 0x1000, false, true);
  sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 3u);
  EXPECT_EQ(sites[2].site, 0x008DA706u);
  EXPECT_EQ(sites[2].opcode, 0xE8);
}

TEST(SimulatedGame, TheStringCacheDropsTheTextsOfAShortLivedScopeOnly) {
  const char* kept = sim::VmStrings::Intern("kept before the scope");
  {
    sim::VmStrings::ShortLivedScope scope;
    EXPECT_EQ(sim::VmStrings::Intern("kept before the scope"), kept);
    (void)sim::VmStrings::Intern("made inside the scope");
    EXPECT_TRUE(sim::VmStrings::Holds("made inside the scope"));
  }
  EXPECT_FALSE(sim::VmStrings::Holds("made inside the scope"));
  EXPECT_STREQ(kept, "kept before the scope");
  // Outside any scope a text lives as long as the process.
  (void)sim::VmStrings::Intern("made after the scope");
  { sim::VmStrings::ShortLivedScope scope; }
  EXPECT_TRUE(sim::VmStrings::Holds("made after the scope"));

  // A reference kept outside the call's stack holds its text past the scope, until the
  // setter points it elsewhere; a temporary on the stack holds nothing once its call is over.
  sim::MapGameRegion();
  sim::VmStrings::PlaceRoutines();
  sim::SealGameCode();
  static StringCache::Ref held{nullptr};
  {
    sim::VmStrings::ShortLivedScope scope;
    qx::game::SetStringRef(held, "held by a kept reference");
    StringCache::Ref temporary = qx::game::MakeStringRef("held by a temporary");
    EXPECT_STREQ(temporary.data, "held by a temporary");
  }
  EXPECT_TRUE(sim::VmStrings::Holds("held by a kept reference"));
  EXPECT_FALSE(sim::VmStrings::Holds("held by a temporary"));
  qx::game::SetStringRef(held, "made after the scope");
  { sim::VmStrings::ShortLivedScope scope; }
  EXPECT_FALSE(sim::VmStrings::Holds("held by a kept reference"));
}

}  // namespace
