// The skill-book lists built on the data-loaded message and refreshed after each game load.
#include "tests/host/HostFixture.h"

#include <chrono>
#include <thread>

#include "sim/Books.h"
#include "sim/Forms.h"

namespace {

using namespace qxtest;
using Lines = std::vector<std::string>;
using qx::game::kBookFlag_Read;
using qx::game::kBookFlag_TeachesSkill;
using qx::game::kBookFlag_TeachesSpell;

struct Shelf {
  qx::game::TESObjectBOOK* herbs = sim::MakeBook({0x101, kBookFlag_TeachesSkill | kBookFlag_Read, 16, "Herbs"});
  qx::game::TESObjectBOOK* fire = sim::MakeBook({0x102, kBookFlag_TeachesSkill, 20, "Fire"});
  qx::game::TESObjectBOOK* odd = sim::MakeBook({0x103, kBookFlag_TeachesSkill, 255, "Odd"});
  qx::game::TESObjectBOOK* tome = sim::MakeBook({0x104, kBookFlag_TeachesSpell | kBookFlag_Read, 0, "Tome"});

  Shelf() { sim::SetDataHandlerBooks({herbs, nullptr, fire, odd, tome}); }
};

Lines LinesAfter(const Lines& lines, const std::string& marker) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == marker) return Lines(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end());
  }
  return {};
}

TEST(SkillBookMessages, DataLoadedDumpsTheListsAfterTheOtherSteps) {
  sim::Game::Start();
  Shelf shelf;
  BootWithSettings("[books]\ndumpskills=1\ndisableskillgain=1\n");
  sim::Game::SendDataLoaded();
  Lines after = LinesAfter(LogLines(), "QX INI: post data load processing complete");
  EXPECT_EQ(after, (Lines{
      "QX Papyrus Func: skill book 00000103 teaches actor value index 255, which has no skill list; not counted",
      "QX Papyrus Func: registered the following skill books for AV index 16", ">>> Herbs",
      "QX Papyrus Func: registered the following skill books for AV index 20", ">>> Fire"}));
  EXPECT_EQ(shelf.herbs->flags, kBookFlag_Read);
  EXPECT_EQ(shelf.fire->flags, 0);
  EXPECT_EQ(shelf.odd->flags, 0);
  EXPECT_EQ(shelf.tome->flags, kBookFlag_TeachesSpell | kBookFlag_Read);
}

TEST(SkillBookMessages, GameLoadClearsReadFlags) {
  sim::Game::Start();
  Shelf shelf;
  BootWithSettings("[books]\nclearallreadskills=1\n");
  sim::Game::SendDataLoaded();
  shelf.odd->flags |= kBookFlag_Read;
  sim::Game::SendPostLoadGame();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: cleared read flags for all skill books");
  EXPECT_EQ(shelf.herbs->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(shelf.odd->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(shelf.tome->flags, kBookFlag_TeachesSpell | kBookFlag_Read);  // not in the lists
}

TEST(SkillBookMessages, GameLoadRecountsOtherwise) {
  sim::Game::Start();
  Shelf shelf;
  BootWithSettings("[books]\n");
  sim::Game::SendDataLoaded();
  sim::Game::SendPostLoadGame();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: updating list of read skill books");
  EXPECT_EQ(shelf.herbs->flags, kBookFlag_TeachesSkill | kBookFlag_Read);
}

// The polling thread starts in the plugin's own process and recounts beside the game.
TEST(SkillBookMessages, PollingThreadRunsBesideTheGame) {
  sim::Game::Start();
  Shelf shelf;
  BootWithSettings("[books]\nskillreadpollingtimemillis=2\n");
  sim::Game::SendDataLoaded();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  sim::Game::SendPostLoadGame();
  EXPECT_TRUE(LinesStartingWith(LogLines(), "QX Papyrus Func: could not start").empty());
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: updating list of read skill books");
}

TEST(SkillBookMessages, NothingWithoutSettingsOrDataHandler) {
  sim::Game::Boot({});
  sim::Game::SendDataLoaded();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: no INI file was found");
  std::size_t before = LogLines().size();
  sim::Game::SendPostLoadGame();
  EXPECT_EQ(LogLines().size(), before);
}

TEST(SkillBookMessages, DataHandlerMissing) {
  BootWithSettings("[books]\n");
  sim::Game::SendDataLoaded();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: could not retrieve data handler");
}

}  // namespace
