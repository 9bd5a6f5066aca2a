// The game's code at each site the gameplay fixes patch, run through the plugin's
// trampolines: the game's registers, stack and x87 stack come out as the replaced code left
// them, and the game's routines receive the values the fixes make.
#include <cstring>
#include <iomanip>

#include "sim/ActorValueNames.h"
#include "sim/Actors.h"
#include "sim/Faults.h"
#include "sim/FixSites.h"
#include "sim/GameplayRoutines.h"
#include "sim/Magic.h"
#include "sim/SiteRunner.h"
#include "skse/GameStrings.h"
#include "tests/host/HostFixture.h"

namespace {

using namespace qxtest;
using qx::game::kActorValue_Health;
using qx::game::kActorValue_Stamina;

std::uint32_t Word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }

std::uint32_t WordOf(float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, 4);
  return word;
}

sim::SiteEntry EntryAt(std::uintptr_t site) {
  sim::SiteEntry entry;
  entry.address = site;
  entry.registers = {0xA0A0A0A0, 0xB0B0B0B0, 0xC0C0C0C0, 0xD0D0D0D0, 0x51515151, 0xD1D1D1D1, 0xBBBBBBBB};
  return entry;
}

void ExpectCalleeSavedKept(const sim::SiteEntry& entry, const sim::SiteExit& exit) {
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx) << std::hex << entry.address;
  EXPECT_EQ(exit.registers.esi, entry.registers.esi) << std::hex << entry.address;
  EXPECT_EQ(exit.registers.edi, entry.registers.edi) << std::hex << entry.address;
  EXPECT_EQ(exit.registers.ebp, entry.registers.ebp) << std::hex << entry.address;
}

TEST(GameplayFixSites, FractionSitesLeaveOneValueAndTheStackAsTheReplacedCall) {
  sim::Game::Start();
  sim::SimActor* actor = sim::NewActor(0x7);
  actor->SetActorValue(kActorValue_Health, 100.0f, 75.0f, 50.0f);
  actor->SetActorValue(kActorValue_Stamina, 40.0f, 30.0f, -20.0f);
  struct Case {
    std::uintptr_t site, resume;
    bool indexInEax;  // and one argument pushed for the replaced call
    float game, fixed;  // the game's own fraction; against the maximum the actor has now
  };
  const Case cases[] = {
      {0x005067DF, 0x005067E4, true, 0.75f, 0.5f},
      {0x00506A0C, 0x00506A11, false, 0.75f, 1.5f},
      {0x00506A8C, 0x00506A91, false, 0.75f, 0.5f},
      {0x008DA706, 0x008DA70B, true, 0.75f, 0.5f},
  };
  auto runAll = [&](bool patched, qx::game::Actor* who) {
    for (const Case& c : cases) {
      sim::SiteEntry entry = EntryAt(c.site);
      entry.registers.ecx = Word(who);
      if (c.indexInEax) {
        entry.registers.eax = kActorValue_Health;
        entry.stack = {kActorValue_Health, 0x5A5A5A5A};
      } else {
        entry.stack = {0x5A5A5A5A};
      }
      sim::SiteExit exit = sim::RunSite(entry);
      EXPECT_EQ(exit.resumedAt, c.resume);
      ASSERT_EQ(exit.fpuDepth, 1u) << std::hex << c.site << " patched " << patched;
      float expected = who == nullptr ? 1.0f : patched ? c.fixed : c.game;
      EXPECT_FLOAT_EQ(static_cast<float>(exit.st0), expected) << std::hex << c.site << " patched " << patched;
      EXPECT_EQ(exit.espDelta, c.indexInEax ? 4 : 0) << std::hex << c.site;
      EXPECT_EQ(exit.stack.back(), 0x5A5A5A5Au) << "the caller's stack is untouched";
      ExpectCalleeSavedKept(entry, exit);
    }
  };
  runAll(false, actor);
  ASSERT_TRUE(BootWithSettings("[general]\nenableavpercentfix=1\n").loaded);
  runAll(true, actor);
  runAll(true, nullptr);  // a missing actor measures as full

  // A maximum that a float cannot hold: 100 + 0.1 is 100.09999847 once stored, and the game
  // takes the quotient as a float, not as the x87 register's wider value.
  actor->SetActorValue(kActorValue_Health, 100.0f, 50.0f, 0.1f);
  sim::SiteEntry entry = EntryAt(0x00506A8C);
  entry.registers.ecx = Word(actor);
  entry.stack = {0x5A5A5A5A};
  sim::SiteExit exit = sim::RunSite(entry);
  ASSERT_EQ(exit.fpuDepth, 1u);
  EXPECT_EQ(exit.st0, static_cast<double>(0.49950051307678223f)) << std::setprecision(17) << exit.st0;
}

constexpr const char* kGatingSettings =
    "[general]\nenableavpercentfix=1\nenablehealthgating=1\n"
    "[healthgating]\nisenabled=1\nenablephysical=1\nenablemagic=1\nformainplayeronly=1\n"
    "minhealthpercent=0.5\nresulthealthpercent=0.1\n"
    // Long enough that a slow start cannot let the immunity lapse during the test.
    "immunitytimemillis=3600000\ngatingwindowmillis=2000\n";

// A physical hit of `change` on `victim` by `attacker`, as the game's hit-damage code makes it.
void HitAtSite(sim::SimActor* victim, sim::SimActor* attacker, float change) {
  sim::SiteEntry entry = EntryAt(0x006AC333);
  entry.registers.esi = Word(victim);
  entry.stack = {0x11, 0x22, WordOf(change), Word(attacker), 0x55, 0, 0x5A5A5A5A};
  sim::SiteExit exit = sim::RunSite(entry);
  EXPECT_EQ(exit.resumedAt, 0x006AC33Au);
  EXPECT_EQ(exit.espDelta, 24) << "the game's routine removed its six arguments";
  EXPECT_EQ(exit.fpuDepth, 0u);
  EXPECT_EQ(exit.stack.back(), 0x5A5A5A5Au);
  ExpectCalleeSavedKept(entry, exit);
}

TEST(GameplayFixSites, LethalHitOnThePlayerReachesTheGameGatedThenImmunityNullifies) {
  ASSERT_TRUE(BootWithSettings(kGatingSettings).loaded);
  sim::SimActor* player = sim::NewActor(0x14);
  sim::SimActor* attacker = sim::NewActor(0x15);
  player->SetActorValue(kActorValue_Health, 100.0f, 80.0f);
  sim::SetPlayerCharacter(player);

  auto hit = [&](float change) { HitAtSite(player, attacker, change); };
  hit(-100.0f);
  ASSERT_EQ(sim::HitDamageCalls().size(), 1u);
  const sim::HitDamageCall& call = sim::HitDamageCalls()[0];
  EXPECT_EQ(call.victim, player);
  EXPECT_EQ(call.first, 0x11u);
  EXPECT_EQ(call.second, 0x22u);
  EXPECT_FLOAT_EQ(call.change, -70.0f);
  EXPECT_EQ(call.attacker, attacker);
  EXPECT_EQ(call.fifth, 0x55u);
  EXPECT_EQ(call.source, nullptr);
  EXPECT_FLOAT_EQ(player->currentValue[kActorValue_Health], 10.0f);

  hit(-5.0f);
  hit(5.0f);
  ASSERT_EQ(sim::HitDamageCalls().size(), 3u);
  EXPECT_EQ(sim::HitDamageCalls()[1].change, 0.0f);
  EXPECT_EQ(sim::HitDamageCalls()[2].change, 0.0f);
  EXPECT_FLOAT_EQ(player->currentValue[kActorValue_Health], 10.0f);
}

// When the system refuses the cleanup thread, the start-up says so and gating goes on:
// immunity is decided by the time stamps, only the table is no longer trimmed.
TEST(GameplayFixSites, WithoutItsCleanupThreadHealthGatingStillGates) {
  sim::Game::Start();
  sim::Faults::RefuseNewThreads(true);
  ASSERT_TRUE(BootWithSettings(kGatingSettings).loaded);
  sim::Faults::RefuseNewThreads(false);
  std::vector<std::string> lines = LogLines();
  EXPECT_TRUE(HasLine(lines, "QX Health Gating: could not start the cleanup thread; the immunity table will not be trimmed"));
  EXPECT_TRUE(HasLine(lines, "QX Inject: health gating loaded; current status ENABLED"));

  sim::SimActor* player = sim::NewActor(0x14);
  player->SetActorValue(kActorValue_Health, 100.0f, 80.0f);
  sim::SetPlayerCharacter(player);
  HitAtSite(player, sim::NewActor(0x15), -100.0f);
  ASSERT_EQ(sim::HitDamageCalls().size(), 1u);
  EXPECT_FLOAT_EQ(sim::HitDamageCalls()[0].change, -70.0f);
}

TEST(GameplayFixSites, JumpValueIsScaledByJumpingBonusBeforeTheGameTakesIt) {
  ASSERT_TRUE(BootWithSettings("[general]\nenablejumpbonusfix=1\n").loaded);
  sim::SimActor* actor = sim::NewActor(0x7);
  float& bonus = actor->currentValue[sim::LookupActorValue("JumpingBonus")];
  double value = 2.0;
  std::uint32_t halves[2];
  std::memcpy(halves, &value, 8);
  sim::SiteEntry entry = EntryAt(0x006B5A39);
  entry.registers.ecx = 0x12345678;
  entry.stack = {1, 2, 3, Word(actor), halves[0], halves[1], 0x5A5A5A5A};

  // The factor is a float: 33 / 100 + 1 is 1.33000004 before it widens to double.
  bonus = 33.0f;
  (void)sim::RunSite(entry);
  ASSERT_EQ(sim::JumpValueCalls().size(), 1u);
  EXPECT_EQ(sim::JumpValueCalls()[0].value, 2.6600000858306885)
      << std::setprecision(17) << sim::JumpValueCalls()[0].value;

  bonus = 25.0f;
  sim::SiteExit exit = sim::RunSite(entry);
  ASSERT_EQ(sim::JumpValueCalls().size(), 2u);
  const sim::JumpValueCall& call = sim::JumpValueCalls()[1];
  EXPECT_EQ(call.value, 2.5);
  EXPECT_EQ(call.actor, actor);
  EXPECT_EQ(call.self, reinterpret_cast<void*>(0x12345678));
  EXPECT_EQ(call.words[0], 1u);
  EXPECT_EQ(call.words[1], 2u);
  EXPECT_EQ(call.words[2], 3u);
  EXPECT_EQ(exit.resumedAt, 0x006B5A3Eu);
  EXPECT_EQ(exit.espDelta, 24);
  EXPECT_EQ(exit.fpuDepth, 0u);
  EXPECT_EQ(exit.stack.back(), 0x5A5A5A5Au);
  ExpectCalleeSavedKept(entry, exit);
}

// Values a float cannot hold: a maximum of 100 + 0.1 (100.09999847 as a float), a result
// fraction of 0.1, a magic hit's change that is a ninth of its effect. Every step rounds to
// single precision as the game's own floats do; wider intermediate values move the cut and
// the magic share by a unit in the last place, and can drop a victim at the floor below it.
TEST(GameplayFixSites, GatingArithmeticRoundsEachStepToSinglePrecision) {
  ASSERT_TRUE(BootWithSettings("[general]\nenableavpercentfix=1\nenablehealthgating=1\n"
                               "[healthgating]\nisenabled=1\nenablephysical=1\nenablemagic=1\n"
                               "formainplayeronly=0\nminhealthpercent=0.5\nresulthealthpercent=0.1\n"
                               "immunitytimemillis=3600000\ngatingwindowmillis=2000\n")
                  .loaded);
  sim::SimActor* attacker = sim::NewActor(0x15);
  auto hit = [&](sim::SimActor* victim, float change, void* source) {
    sim::SiteEntry entry = EntryAt(0x006AC333);
    entry.registers.esi = Word(victim);
    entry.stack = {0x11, 0x22, WordOf(change), Word(attacker), 0x55, Word(source), 0x5A5A5A5A};
    sim::SiteExit exit = sim::RunSite(entry);
    EXPECT_EQ(exit.resumedAt, 0x006AC33Au);
    return sim::HitDamageCalls().back().change;
  };

  // Exactly half of the stored maximum: the fraction is 0.5, at the floor, so the hit is gated.
  sim::SimActor* atFloor = sim::NewActor(0x20);
  atFloor->SetActorValue(kActorValue_Health, 100.0f, 50.049999237060547f, 0.1f);
  float applied = hit(atFloor, -100.0f, nullptr);
  EXPECT_EQ(applied, -40.040000915527344f) << std::setprecision(9) << applied;

  // The cut: -(60 - 100.09999847 * 0.1), each product and difference a float.
  sim::SimActor* at60 = sim::NewActor(0x21);
  at60->SetActorValue(kActorValue_Health, 100.0f, 60.0f, 0.1f);
  applied = hit(at60, -100.0f, nullptr);
  EXPECT_EQ(applied, -49.989997863769531f) << std::setprecision(9) << applied;

  // Magic: the effect's whole magnitude -80 is lethal and becomes -50; this call's share
  // -9 becomes -50 / (-80 / -9), the quotient 8.88888931 a float.
  sim::SimActor* magicVictim = sim::NewActor(0x22);
  magicVictim->SetActorValue(kActorValue_Health, 100.0f, 60.0f);
  sim::SimActiveEffect effect{};
  effect.magnitude = -80.0f;
  applied = hit(magicVictim, -9.0f, &effect);
  EXPECT_EQ(applied, -5.6249995231628418f) << std::setprecision(9) << applied;
  EXPECT_EQ(effect.magnitude, -50.0f);
}

TEST(GameplayFixSites, BashStateIsKeptForOtherEventsAndResetByBashStop) {
  sim::Game::Start();
  sim::SimActor* actor = sim::NewActor(0x7);
  StringCache::Ref swing{"weaponSwing"};
  StringCache::Ref stop{"bashStop"};
  auto expectAllKept = [](const sim::SiteEntry& entry, const sim::SiteExit& exit) {
    EXPECT_EQ(exit.espDelta, 0) << std::hex << entry.address;
    EXPECT_EQ(exit.registers.eax, entry.registers.eax) << std::hex << entry.address;
    EXPECT_EQ(exit.registers.ecx, entry.registers.ecx) << std::hex << entry.address;
    EXPECT_EQ(exit.registers.edx, entry.registers.edx) << std::hex << entry.address;
    EXPECT_EQ(exit.fpuDepth, 0u);
    EXPECT_EQ(exit.xmmChanged, 0u) << "the game runs on in its function: SSE registers kept";
    ExpectCalleeSavedKept(entry, exit);
  };
  auto eventOnStack = [&](const StringCache::Ref& name) {
    sim::SiteEntry entry = EntryAt(0x00780D1A);
    entry.registers.eax = Word(actor);
    entry.stack = {Word(&name), 0, 0, Word(actor)};
    sim::SiteExit exit = sim::RunSite(entry);
    EXPECT_EQ(exit.resumedAt, 0x00780D21u);
    expectAllKept(entry, exit);
  };
  auto eventInEdi = [&](const StringCache::Ref& name) {
    sim::SiteEntry entry = EntryAt(0x007807A4);
    entry.registers.esi = Word(actor);
    entry.registers.edi = Word(&name);
    sim::SiteExit exit = sim::RunSite(entry);
    EXPECT_EQ(exit.resumedAt, 0x007807ABu);
    expectAllKept(entry, exit);
  };
  actor->stateWord = 0x60000042;
  eventOnStack(swing);
  EXPECT_EQ(actor->stateWord, 0x00000042u) << "the game resets on every event";

  ASSERT_TRUE(BootWithSettings("[general]\nenablebashbugfix=1\n").loaded);
  actor->stateWord = 0x60000042;
  eventOnStack(swing);
  EXPECT_EQ(actor->stateWord, 0x60000042u);
  eventInEdi(swing);
  EXPECT_EQ(actor->stateWord, 0x60000042u);
  eventOnStack(stop);
  EXPECT_EQ(actor->stateWord, 0x00000042u);
  actor->stateWord = 0x60000042;
  eventInEdi(stop);
  EXPECT_EQ(actor->stateWord, 0x00000042u);
  actor->stateWord = 0x30000042;  // any other state is reset by any event
  eventInEdi(swing);
  EXPECT_EQ(actor->stateWord, 0x00000042u);
}

}  // namespace
