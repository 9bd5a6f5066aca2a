// The magic effect artwork patch and its priority overrides file, from the settings to the
// game's artwork pick.
#include "tests/host/HostFixture.h"

#include <vector>

#include "sim/ArtPickSite.h"
#include "sim/Forms.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;
using qx::game::EffectItem;
using qx::game::EffectSetting;
using qx::game::MagicItem;

// A spell with two effects, each with its own magic effect.
struct TwoEffectSpell {
  EffectSetting* first = sim::MakeFormOf<EffectSetting>("EffectSetting", 0x201);
  EffectSetting* second = sim::MakeFormOf<EffectSetting>("EffectSetting", 0x202);
  EffectItem effects[2] = {};
  EffectItem* pointers[2] = {&effects[0], &effects[1]};
  MagicItem* spell = sim::MakeFormOf<MagicItem>("SpellItem", 0x200);

  TwoEffectSpell() {
    effects[0].mgef = first;
    effects[1].mgef = second;
    spell->effects = pointers;
    spell->numEffects = 2;
  }
};

void ExpectGameRegistersKept(const sim::ArtPickRun& run, const MagicItem* item) {
  EXPECT_EQ(run.ebx, sim::kArtRunEbx);
  EXPECT_EQ(run.ecx, reinterpret_cast<std::uintptr_t>(item));
  EXPECT_EQ(run.edx, sim::kArtRunEdx);
  EXPECT_EQ(run.esi, sim::kArtRunEsi);
  EXPECT_EQ(run.edi, sim::kArtRunEdi);
  EXPECT_EQ(run.ebp, sim::kArtRunEbp);
  EXPECT_TRUE(run.stackKept);
  EXPECT_TRUE(run.pickSawTheCall);
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

  // The pending entries are resolved between the two post data load lines.
  sim::Game::SendDataLoaded();
  lines = LogLines();
  auto at = [&](const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  };
  int begin = at("QX INI: begin post data load processing");
  int notLoaded = at("QX Magic Effect Artwork Overrides: skipping unrecognized form ID '000D4E_NotLoaded.esp'");
  int tooShort = at("QX Magic Effect Artwork Overrides: skipping unrecognized form ID '0D4E'");
  int complete = at("QX INI: post data load processing complete");
  EXPECT_LT(begin, notLoaded);
  EXPECT_LT(notLoaded, tooShort);
  EXPECT_LT(tooShort, complete);
  EXPECT_GE(begin, 0);
}

TEST(ArtworkOverrides, PatchedPickKeepsTheGamesChoiceWithoutPriorities) {
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n");
  auto sites = sim::PatchedSites();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(sites[0].site, sim::kArtPickSite);
  EXPECT_EQ(sites[0].opcode, 0xE9);

  TwoEffectSpell spell;
  sim::ArtPickRun run = sim::RunArtPickSite(spell.spell, spell.second);
  EXPECT_EQ(run.eax, reinterpret_cast<std::uintptr_t>(spell.second));
  ExpectGameRegistersKept(run, spell.spell);
  run = sim::RunArtPickSite(spell.spell, nullptr);
  EXPECT_EQ(run.eax, 0u);
}

TEST(ArtworkOverrides, DisableAllRemovesTheArtwork) {
  BootWithSettings("[general]\nenablemagiceffectartworkoverrides=1\n"
                   "[magiceffectartworkoverrides]\ndisableall=1\n");
  TwoEffectSpell spell;
  sim::ArtPickRun run = sim::RunArtPickSite(spell.spell, spell.first);
  EXPECT_EQ(run.eax, 0u);
  ExpectGameRegistersKept(run, spell.spell);
}

TEST(ArtworkOverrides, SwitchedOffLeavesTheSiteAlone) {
  BootWithSettings("[general]\n[magiceffectartworkoverrides]\ndisableall=1\n");
  EXPECT_TRUE(sim::PatchedSites().empty());
  EXPECT_FALSE(HasLine(LogLines(), "QX Inject: magic effect artwork overrides loaded"));
  TwoEffectSpell spell;
  EXPECT_EQ(sim::RunArtPickSite(spell.spell, spell.first).eax,
            reinterpret_cast<std::uintptr_t>(spell.first));
}

}  // namespace
