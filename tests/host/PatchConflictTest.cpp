// QXKit beside another plugin that hooks the same game code: a site the other plugin took
// first is left to it (and its whole step with it), a site it takes later is reported once
// the game's data has loaded, and the game's own calls are never mistaken for a hook.
#include <cstdio>
#include <cstring>

#include "sim/ActorValueNames.h"
#include "sim/Actors.h"
#include "sim/SiteRunner.h"
#include "skse/GameActor.h"
#include "skse/GameAudio.h"
#include "skse/GameCamera.h"
#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;

constexpr std::uintptr_t kFractionSite = 0x005067DF;
constexpr std::uintptr_t kJumpSite = 0x006B5A39;
constexpr std::uintptr_t kBashSites[] = {0x00780D1A, 0x007807A4};

constexpr const char* kThreeFixes =
    "[general]\nenableavpercentfix=1\nenablejumpbonusfix=1\nenablebashbugfix=1\n";

std::string Hex(std::uintptr_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

std::uintptr_t BranchTarget(std::uintptr_t site) {
  std::int32_t displacement;
  std::memcpy(&displacement, reinterpret_cast<const void*>(site + 1), sizeof displacement);
  return site + 5 + displacement;
}

bool Patched(std::uintptr_t site) {
  for (const sim::PatchedSite& patched : sim::PatchedSites()) {
    if (patched.site == site) return true;
  }
  return false;
}

TEST(PatchConflicts, SiteTakenBeforeLoadSkipsOnlyItsStepAndNamesTheModule) {
  sim::BootOptions options;
  options.settings = kThreeFixes;
  // The second bash site is taken: the first must not be written either.
  options.hooksBeforeLoad = {{kJumpSite, 0xE9}, {kBashSites[1], 0xE8}};
  ASSERT_TRUE(sim::Game::Boot(options).loaded);

  std::string module = sim::OtherPlugin::FileName();
  EXPECT_EQ(LinesStartingWith(LogLines(), "QX Inject: "),
            (Lines{"QX Inject: actor value percentage fix loaded",
                   "QX Inject: jump bonus fix not installed: " + Hex(kJumpSite) +
                       " already branches to " + Hex(BranchTarget(kJumpSite)) + " (" + module + ")",
                   "QX Inject: bash bug fix not installed: " + Hex(kBashSites[1]) +
                       " already branches to " + Hex(BranchTarget(kBashSites[1])) + " (" + module + ")",
                   "QX Inject: papyrus functions loaded"}));
  EXPECT_FALSE(Patched(kBashSites[0])) << "no half-installed feature";

  // The step that was free runs as it always does.
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetActorValue(qx::game::kActorValue_Health, 100.0f, 75.0f, 50.0f);
  sim::SiteEntry entry;
  entry.address = kFractionSite;
  entry.registers.eax = qx::game::kActorValue_Health;
  entry.registers.ecx = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(actor));
  entry.stack = {qx::game::kActorValue_Health, 0x5A5A5A5A};
  sim::SiteExit exit = sim::RunSite(entry);
  ASSERT_EQ(exit.fpuDepth, 1u);
  EXPECT_FLOAT_EQ(static_cast<float>(exit.st0), 0.5f);

  // The other plugin's hooks are still its own.
  EXPECT_EQ(*reinterpret_cast<const std::uint8_t*>(kJumpSite), 0xE9);
  EXPECT_EQ(*reinterpret_cast<const std::uint8_t*>(kBashSites[1]), 0xE8);
}

TEST(PatchConflicts, SiteTakenAfterLoadIsReportedOnceAtDataLoad) {
  ASSERT_TRUE(BootWithSettings(std::string(kThreeFixes) +
                               "[cameratweaks]\nenablehorsecamfix=1\ndisabletweenmenupan=1\n")
                  .loaded);
  std::uintptr_t target = sim::OtherPlugin::Hook({qx::game::kHorseCamSite, 0xE9});
  const std::uint8_t nops[5] = {0x90, 0x90, 0x90, 0x90, 0x90};
  sim::WriteGameBytes(kBashSites[0], nops, sizeof nops);
  sim::Game::SendDataLoaded();
  sim::Game::SendDataLoaded();  // another plugin may send it again

  Lines lines = LinesStartingWith(LogLines(), "QX Inject: ");
  Lines reports;
  for (const std::string& line : lines) {
    if (line.find("no longer holds") != std::string::npos) reports.push_back(line);
  }
  EXPECT_EQ(reports,
            (Lines{"QX Inject: " + Hex(kBashSites[0]) +
                       " no longer holds QXKit's patch; it now holds other code",
                   "QX Inject: " + Hex(qx::game::kHorseCamSite) +
                       " no longer holds QXKit's patch; it now branches to " + Hex(target) + " (" +
                       sim::OtherPlugin::FileName() + ")"}));
  // Nothing is rewritten: the other plugin's choice stands.
  EXPECT_EQ(BranchTarget(qx::game::kHorseCamSite), target);
}

// Another plugin's branch at an instruction inside the stretch a patch takes over, not at
// its site: before load it keeps the step from writing (named where that branch begins);
// after load it shows when the stretch is read back.
TEST(PatchConflicts, BranchesInsideAPatchedStretchCountAsTheSite) {
  sim::BootOptions options;
  options.settings =
      "[general]\nenableavpercentfix=1\nenablehealthgating=1\nenableplayeraudiorepositioner=1\n"
      "[healthgating]\nisenabled=1\n";
  constexpr std::uintptr_t kGameCallOfHitDamage = 0x006AC335;  // after mov ecx, esi
  options.hooksBeforeLoad = {{kGameCallOfHitDamage, 0xE8}};
  ASSERT_TRUE(sim::Game::Boot(options).loaded);
  EXPECT_FALSE(Patched(qx::game::kHitDamageCallSite));
  EXPECT_EQ(*reinterpret_cast<const std::uint8_t*>(kGameCallOfHitDamage), 0xE8) << "its hook is whole";

  constexpr std::uintptr_t kSoundSubtraction = 0x00BA424C;  // fsub [eax], inside QXKit's jump
  std::uintptr_t target = sim::OtherPlugin::Hook({kSoundSubtraction, 0xE9});
  sim::Game::SendDataLoaded();
  std::string module = sim::OtherPlugin::FileName();
  Lines inject = LinesStartingWith(LogLines(), "QX Inject: ");
  EXPECT_EQ(inject, (Lines{"QX Inject: actor value percentage fix loaded",
                           "QX Inject: health gating not installed: " + Hex(kGameCallOfHitDamage) +
                               " already branches to " + Hex(BranchTarget(kGameCallOfHitDamage)) + " (" +
                               module + ")",
                           "QX Inject: player audio repositioner loaded", "QX Inject: papyrus functions loaded",
                           "QX Inject: " + Hex(qx::game::kSoundPlacementSite) +
                               " no longer holds QXKit's patch; it now branches to " + Hex(target) + " (" +
                               module + ")"}));
}

// A step checks only the sites its settings make it write: the pan site taken by another
// plugin does not keep the zoom from being written.
TEST(PatchConflicts, ASiteTheStepWouldNotWriteDoesNotStopIt) {
  sim::BootOptions options;
  options.settings = "[cameratweaks]\nchangetweenmenuzoom=1\ndisabletweenmenupan=0\n";
  options.hooksBeforeLoad = {{qx::game::kTweenMenuPanSite, 0xE9}};
  ASSERT_TRUE(sim::Game::Boot(options).loaded);
  EXPECT_TRUE(Patched(qx::game::kTweenMenuZoomSite));
  EXPECT_TRUE(HasLine(LogLines(), "QX Inject: tween menu changes loaded"));
}

TEST(PatchConflicts, GameCallsIntoItsOwnCodeAndThePanSkipAreNotHooks) {
  sim::Game::Start();
  // The game's own call at the jump site, into its own image.
  std::uint8_t call[5] = {0xE8};
  std::int32_t displacement = static_cast<std::int32_t>(sim::kGameRegionBegin + 0x100 - (kJumpSite + 5));
  std::memcpy(&call[1], &displacement, sizeof displacement);
  sim::WriteGameBytes(kJumpSite, call, sizeof call);

  ASSERT_TRUE(BootWithSettings(std::string(kThreeFixes) +
                               "[cameratweaks]\nchangetweenmenuzoom=1\ndisabletweenmenupan=1\n")
                  .loaded);
  sim::Game::SendDataLoaded();
  Lines inject = LinesStartingWith(LogLines(), "QX Inject: ");
  EXPECT_EQ(inject, (Lines{"QX Inject: actor value percentage fix loaded",
                           "QX Inject: jump bonus fix loaded", "QX Inject: bash bug fix loaded",
                           "QX Inject: tween menu changes loaded",
                           "QX Inject: papyrus functions loaded"}));
  EXPECT_EQ(*reinterpret_cast<const std::uint8_t*>(kJumpSite), 0xE9) << "QXKit's jump replaced the call";
  EXPECT_EQ(BranchTarget(qx::game::kTweenMenuPanSite), qx::game::kTweenMenuPanResume);
}

}  // namespace
