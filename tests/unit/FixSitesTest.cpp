// The game's code at each patched site, run before and after the patch: the trampolines
// keep the game's register, stack and x87 contract and hand the game's routines the values
// the fixes make.
#include <cstring>

#include "fixes/AVPercentFix.h"
#include "fixes/BashBugFix.h"
#include "fixes/HealthGating.h"
#include "fixes/JumpBonusFix.h"
#include "plugin/ProjectIni.h"
#include "sim/ActorValueNames.h"
#include "sim/FixSites.h"
#include "sim/GameplayRoutines.h"
#include "tests/unit/GameFixture.h"
#include "tests/unit/SiteRun.h"

namespace {

using qx::game::kActorValue_Health;
using qx::game::kActorValue_Stamina;
using qxtest::RunSite;
using qxtest::SiteRun;

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

void ExpectCalleeSavedKept(const SiteRun& run) {
  EXPECT_EQ(run.out.ebx, run.in.ebx);
  EXPECT_EQ(run.out.esi, run.in.esi);
  EXPECT_EQ(run.out.edi, run.in.edi);
  EXPECT_EQ(run.out.ebp, run.in.ebp);
}

class FixSites : public qxtest::GameTest {
 protected:
  qx::ProjectIni settings;
};

TEST_F(FixSites, FractionSitesLeaveOneValueAndTheStackAsTheReplacedCall) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetActorValue(kActorValue_Health, 100.0f, 75.0f, 50.0f);
  actor->SetActorValue(kActorValue_Stamina, 40.0f, 30.0f, -20.0f);
  struct Case {
    std::uintptr_t site, resume;
    bool indexInEax;
    float before, after;  // the game's own fraction, the fixed one
  };
  const Case cases[] = {
      {0x005067DF, 0x005067E4, true, 0.75f, 0.5f},
      {0x00506A0C, 0x00506A11, false, 0.75f, 1.5f},
      {0x00506A8C, 0x00506A91, false, 0.75f, 0.5f},
      {0x008DA706, 0x008DA70B, true, 0.75f, 0.5f},
  };
  auto runAll = [&](bool patched) {
    for (const Case& c : cases) {
      SiteRun run;
      run.in.ecx = Word(actor);
      run.in.eax = c.indexInEax ? kActorValue_Health : 0xA0A0A0A0;
      if (c.indexInEax) run.stack = {kActorValue_Health};
      RunSite(c.site, c.resume, run);
      float expected = c.site == 0x00506A0C ? (patched ? 1.5f : 0.75f) : (patched ? c.after : c.before);
      EXPECT_EQ(run.x87Depth, 1) << std::hex << c.site;
      EXPECT_FLOAT_EQ(static_cast<float>(run.st0), expected) << std::hex << c.site << " patched " << patched;
      EXPECT_EQ(run.espMoved, c.indexInEax ? 4 : 0) << std::hex << c.site;
      ExpectCalleeSavedKept(run);
    }
  };
  runAll(false);
  qx::InstallAVPercentFix(settings);
  runAll(true);
  // A null actor measures as full.
  SiteRun run;
  run.in.ecx = 0;
  RunSite(0x00506A8C, 0x00506A91, run);
  EXPECT_EQ(run.st0, 1.0);
}

TEST_F(FixSites, HitDamageReachesTheGameRoutineGated) {
  settings.hgIsEnabled = true;
  settings.hgEnablePhysical = settings.hgEnableMagic = true;
  settings.hgMinHealthPercent = 0.5f;
  settings.hgResultHealthPercent = 0.1f;
  settings.hgImmunityTimeMillis = 600000;
  settings.hgCleanupPollingTimeMillis = 0;  // no thread in this test
  sim::SimActor* victim = sim::NewActor(0x14);
  sim::SimActor* attacker = sim::NewActor(0x15);
  victim->SetActorValue(kActorValue_Health, 100.0f, 80.0f);
  sim::SetPlayerCharacter(victim);
  qx::InstallHealthGating(settings);

  float change = -100.0f;
  std::uint32_t changeWord;
  std::memcpy(&changeWord, &change, 4);
  SiteRun run;
  run.in.esi = Word(victim);
  run.stack = {0x11, 0x22, changeWord, Word(attacker), 0x55, 0};
  RunSite(0x006AC333, 0x006AC33A, run);
  ASSERT_EQ(sim::HitDamageCalls().size(), 1u);
  const sim::HitDamageCall& call = sim::HitDamageCalls()[0];
  EXPECT_EQ(call.victim, victim);
  EXPECT_EQ(call.first, 0x11u);
  EXPECT_EQ(call.second, 0x22u);
  EXPECT_FLOAT_EQ(call.change, -70.0f);
  EXPECT_EQ(call.attacker, attacker);
  EXPECT_EQ(call.fifth, 0x55u);
  EXPECT_EQ(call.source, nullptr);
  EXPECT_FLOAT_EQ(victim->currentValue[kActorValue_Health], 10.0f);
  EXPECT_EQ(run.espMoved, 24) << "the routine removed its six arguments";
  EXPECT_EQ(run.x87Depth, 0);
  ExpectCalleeSavedKept(run);

  for (float next : {-5.0f, 5.0f}) {
    std::memcpy(&changeWord, &next, 4);
    run.stack = {0x11, 0x22, changeWord, Word(attacker), 0x55, 0};
    RunSite(0x006AC333, 0x006AC33A, run);
    EXPECT_EQ(sim::HitDamageCalls().back().change, 0.0f);
  }
  qx::gHealthGatingSettings = nullptr;
}

TEST_F(FixSites, JumpValueIsScaledBeforeTheGameTakesIt) {
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->currentValue[sim::LookupActorValue("JumpingBonus")] = 25.0f;
  qx::InstallJumpBonusFix(settings);
  double value = 2.0;
  std::uint32_t halves[2];
  std::memcpy(halves, &value, 8);
  SiteRun run;
  run.in.ecx = 0x12345678;
  run.stack = {1, 2, 3, Word(actor), halves[0], halves[1]};
  RunSite(0x006B5A39, 0x006B5A3E, run);
  ASSERT_EQ(sim::JumpValueCalls().size(), 1u);
  const sim::JumpValueCall& call = sim::JumpValueCalls()[0];
  EXPECT_EQ(call.value, 2.5);
  EXPECT_EQ(call.actor, actor);
  EXPECT_EQ(call.self, reinterpret_cast<void*>(0x12345678));
  EXPECT_EQ(call.words[0], 1u);
  EXPECT_EQ(call.words[2], 3u);
  EXPECT_EQ(run.espMoved, 24);
  EXPECT_EQ(run.x87Depth, 0);
  ExpectCalleeSavedKept(run);
}

TEST_F(FixSites, BashStateIsKeptForOtherEventsAndResetByBashStop) {
  qx::game::Actor actor{};
  StringCache::Ref swing{"weaponSwing"};
  StringCache::Ref stop{"bashStop"};
  auto runA = [&](const StringCache::Ref& name) {
    SiteRun run;
    run.in.eax = Word(&actor);
    run.stack = {Word(&name), 0, 0, Word(&actor)};
    RunSite(0x00780D1A, 0x00780D21, run);
    EXPECT_EQ(run.espMoved, 0);
    EXPECT_EQ(run.out.eax, run.in.eax);
    EXPECT_EQ(run.out.ecx, run.in.ecx);
    EXPECT_EQ(run.out.edx, run.in.edx);
    ExpectCalleeSavedKept(run);
  };
  auto runB = [&](const StringCache::Ref& name) {
    SiteRun run;
    run.in.esi = Word(&actor);
    run.in.edi = Word(&name);
    RunSite(0x007807A4, 0x007807AB, run);
    EXPECT_EQ(run.out.eax, run.in.eax);
    EXPECT_EQ(run.out.ecx, run.in.ecx);
    EXPECT_EQ(run.out.edx, run.in.edx);
    ExpectCalleeSavedKept(run);
  };
  actor.stateWord = 0x60000042;
  runA(swing);
  EXPECT_EQ(actor.stateWord, 0x00000042u) << "the game resets on every event";

  qx::InstallBashBugFix(settings);
  actor.stateWord = 0x60000042;
  runA(swing);
  EXPECT_EQ(actor.stateWord, 0x60000042u);
  runB(swing);
  EXPECT_EQ(actor.stateWord, 0x60000042u);
  runA(stop);
  EXPECT_EQ(actor.stateWord, 0x00000042u);
  actor.stateWord = 0x60000042;
  runB(stop);
  EXPECT_EQ(actor.stateWord, 0x00000042u);
}

}  // namespace
