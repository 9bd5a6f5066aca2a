// The magic effect artwork patch and its priority overrides file, from the settings through
// the data-loaded message to the game's artwork pick.
#include "tests/host/HostFixture.h"

#include <vector>

#include "sim/ArtPickSite.h"
#include "sim/Forms.h"
#include "sim/Magic.h"
#include "sim/SiteRunner.h"
#include "sim/Vm.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;
using qx::game::EffectSetting;
using qx::game::MagicItem;

std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

// Runs the game's call of its pick at 0x006689CA with `item` in ecx, the pick answering
// `chosen`; checks that the game's registers and stack come through and that the pick saw
// the game's own call. Returns eax as the game's code after the call sees it.
std::uint32_t RunPick(const MagicItem* item, EffectSetting* chosen) {
  sim::SetArtPickAnswer(chosen);
  sim::SiteEntry entry;
  entry.address = sim::kArtPickSite;
  entry.registers = {0xA0A0A0A0, 0x11111111, Word(item), 0x22222222, 0x33333333, 0x44444444, 0x55555555};
  entry.stack = {0x66666666, 0x77777777};
  unsigned callsBefore = sim::LastArtPickCall().calls;
  sim::SiteExit exit = sim::RunSite(entry);
  EXPECT_EQ(exit.resumedAt, sim::kArtPickResume);
  EXPECT_EQ(exit.espDelta, 0);
  EXPECT_EQ(exit.fpuDepth, 0u);
  EXPECT_EQ(exit.stack, entry.stack);
  EXPECT_EQ(exit.registers.ebx, entry.registers.ebx);
  EXPECT_EQ(exit.registers.ecx, Word(item));
  EXPECT_EQ(exit.registers.edx, entry.registers.edx);
  EXPECT_EQ(exit.registers.esi, entry.registers.esi);
  EXPECT_EQ(exit.registers.edi, entry.registers.edi);
  EXPECT_EQ(exit.registers.ebp, entry.registers.ebp);
  sim::ArtPickCall call = sim::LastArtPickCall();
  EXPECT_EQ(call.calls, callsBefore + 1);
  EXPECT_EQ(call.ecx, Word(item));
  EXPECT_EQ(call.stack[0], entry.stack[0]);
  EXPECT_EQ(call.stack[1], entry.stack[1]);
  return exit.registers.eax;
}

sim::EffectItemValues EffectOf(EffectSetting* mgef) { return {1.0f, 0, 0, mgef, 0}; }

// A spell with two effects, each with its own magic effect; the second carries `keyword`.
struct TwoEffectSpell {
  explicit TwoEffectSpell(qx::game::BGSKeyword* keyword = nullptr)
      : first(sim::NewMagicEffect(0x201, {sim::NewEffectKeyword(0x301)})),
        second(keyword != nullptr ? sim::NewMagicEffect(0x202, {keyword}) : sim::NewMagicEffect(0x202)),
        spell(sim::NewSpell(0x200, 0, {EffectOf(first), EffectOf(second)})) {}
  EffectSetting* first;
  EffectSetting* second;
  MagicItem* spell;
};

Lines LinesBetween(const Lines& lines, const std::string& from, const std::string& to) {
  Lines between;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line == to) break;
    if (inside) between.push_back(line);
    if (line == from) inside = true;
  }
  return between;
}

TEST(ArtworkOverrides, OverridesFileIsReadWhileTheSettingsAreRead) {
  sim::Game::Start();
  ASSERT_TRUE(sim::WriteFile(sim::GameFolders::PluginFile("art.txt"),
                             "50\n10 000D4E_NotLoaded.esp\nten 000D4E_Skyrim.esm\n20 \n5 0D4E\n"));
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n"
                   "[magiceffectartworkoverrides]\npriorityoverrides=art.txt\n");
  Lines lines = LogLines();
  Lines art = LinesStartingWith(lines, "QX Magic Effect Artwork Overrides: ");
  EXPECT_EQ(art, (Lines{
      "QX Magic Effect Artwork Overrides: could not parse priority on line 0:'50'; skipping",
      "QX Magic Effect Artwork Overrides: priority on line 2:'ten 000D4E_Skyrim.esm' is not an integer; skipping",
      "QX Magic Effect Artwork Overrides: no form ID given on line 3:'20 '; skipping"}));
  Lines fileLine = LinesStartingWith(lines, "QX INI: using magic art priority overrides file '");
  ASSERT_EQ(fileLine.size(), 1u);
  EXPECT_NE(fileLine[0].find("art.txt'"), std::string::npos);
  EXPECT_TRUE(LinesStartingWith(lines, "QX INI: priorityoverrides").empty());
  EXPECT_TRUE(HasLine(lines, "QX Inject: magic effect artwork overrides loaded"));

  // Without a data handler no file is loaded: both entries are unrecognized.
  sim::Game::SendDataLoaded();
  EXPECT_EQ(LinesBetween(LogLines(), "QX INI: begin post data load processing",
                         "QX INI: post data load processing complete"),
            (Lines{"QX Magic Effect Artwork Overrides: skipping unrecognized form ID '000D4E_NotLoaded.esp'",
                   "QX Magic Effect Artwork Overrides: skipping unrecognized form ID '0D4E'"}));
}

// Entries resolve against the game's loaded files and forms once its data is loaded; from
// then on the keyword's magic effect shows, not the game's pick.
TEST(ArtworkOverrides, KeywordFromTheFileWinsAtThePickOnceTheDataIsLoaded) {
  sim::Game::Start();
  ASSERT_TRUE(sim::WriteFile(sim::GameFolders::PluginFile("art.txt"),
                             "10 000D4E_Other.esp\n"
                             "20 000D4F_Mine.esp\n"
                             "30 000202_Skyrim.esm\n"
                             "40 000D4E_Mine.esp \n"
                             "50 000D4E_mine.ESP\n"));
  sim::SetLoadedMods({"Skyrim.esm", "Update.esm", "Mine.esp"});
  qx::game::BGSKeyword* keyword = sim::NewEffectKeyword(0x02000D4E);
  sim::RegisterForm(keyword);
  TwoEffectSpell spell(keyword);
  sim::RegisterForm(spell.second);  // 0x00000202: a magic effect, not a keyword
  MagicItem* single = sim::NewSpell(0x203, 0, {EffectOf(spell.second)});
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n"
                   "[magiceffectartworkoverrides]\npriorityoverrides=art.txt\n");

  EXPECT_EQ(RunPick(spell.spell, spell.first), Word(spell.first));  // nothing registered yet
  sim::Game::SendDataLoaded();
  const std::string p = "QX Magic Effect Artwork Overrides: ";
  EXPECT_EQ(LinesBetween(LogLines(), "QX INI: begin post data load processing",
                         "QX INI: post data load processing complete"),
            (Lines{p + "skipping unrecognized form ID '000D4E_Other.esp'",
                   p + "skipping unresolvable form ID '000D4F_Mine.esp'",
                   p + "form ID '000202_Skyrim.esm' is not a keyword; skipping",
                   p + "skipping unrecognized form ID '000D4E_Mine.esp '",
                   p + "registered mgef keyword '000D4E_mine.ESP' with priority 50"}));

  EXPECT_EQ(RunPick(spell.spell, spell.first), Word(spell.second));
  EXPECT_EQ(RunPick(spell.spell, nullptr), 0u);  // no pick of the game, nothing to overrule
  EXPECT_EQ(RunPick(single, spell.first), Word(spell.first));
}

TEST(ArtworkOverrides, PatchedPickKeepsTheGamesChoiceWithoutPriorities) {
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n");
  auto sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].site, sim::kArtPickSite);
  EXPECT_EQ(sites[0].opcode, 0xE9);

  TwoEffectSpell spell;
  EXPECT_EQ(RunPick(spell.spell, spell.second), Word(spell.second));
  EXPECT_EQ(RunPick(spell.spell, nullptr), 0u);
}

TEST(ArtworkOverrides, DisableAllRemovesTheArtwork) {
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n"
                   "[magiceffectartworkoverrides]\ndisableall=1\n");
  TwoEffectSpell spell;
  EXPECT_EQ(RunPick(spell.spell, spell.first), 0u);
}

TEST(ArtworkOverrides, SwitchedOffLeavesTheSiteAlone) {
  BootWithSettings("[general]\n[magiceffectartworkoverrides]\ndisableall=1\n");
  EXPECT_TRUE(sim::PatchedSites().empty());
  EXPECT_FALSE(HasLine(LogLines(), "QX Inject: magic effect artwork overrides loaded"));
  TwoEffectSpell spell;
  EXPECT_EQ(RunPick(spell.spell, spell.first), Word(spell.first));
}

}  // namespace
