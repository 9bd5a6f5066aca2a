#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <set>
#include <thread>

#include "papyrus/QXPapyrusFunc.h"
#include "papyrus/books/SkillBooks.h"
#include "settings/ProjectIni.h"
#include "sim/Books.h"
#include "sim/Forms.h"
#include "sim/Game.h"
#include "sim/GameRegion.h"
#include "skse/GameActorValues.h"
#include "tests/unit/LogCapture.h"

namespace {

using namespace qx::papyrus_func;
using qx::ProjectIni;
using qx::SkillBooks;
using qx::game::kBookFlag_Read;
using qx::game::kBookFlag_TeachesSkill;
using qx::game::kBookFlag_TeachesSpell;
using Lines = std::vector<std::string>;

constexpr std::uint32_t kAlchemy = 16;
constexpr std::uint32_t kDestruction = 20;

std::uint32_t QX_CDECL LookupActorValueStandIn(const char* name) {
  if (std::strcmp(name, "Alchemy") == 0) return kAlchemy;
  if (std::strcmp(name, "Destruction") == 0) return kDestruction;
  return qx::game::kActorValueCount + 5;
}

StringCache::Ref Name(const char* text) { return StringCache::Ref{text}; }

// A data handler with two alchemy books, one destruction book, a spell book, a plain book,
// a null element, a skill book for an actor value that has no list, and a book marked as
// teaching both (a spell book, since the spell flag is tested first).
struct Library {
  qx::game::SpellItem* spell = sim::MakeFormOf<qx::game::SpellItem>("SpellItem", 0x500);
  qx::game::TESObjectBOOK* alchemy1 = sim::MakeBook({0x101, kBookFlag_TeachesSkill, kAlchemy, "Herbs I"});
  qx::game::TESObjectBOOK* alchemy2 =
      sim::MakeBook({0x102, kBookFlag_TeachesSkill | kBookFlag_Read, kAlchemy, "Herbs II"});
  qx::game::TESObjectBOOK* destruction = sim::MakeBook({0x103, kBookFlag_TeachesSkill, kDestruction, "Fire"});
  qx::game::TESObjectBOOK* spellBook = sim::MakeBook(
      {0x104, kBookFlag_TeachesSpell, reinterpret_cast<std::uintptr_t>(spell), "Spell Tome"});
  qx::game::TESObjectBOOK* plain = sim::MakeBook({0x105, 0, 0, "Letter"});
  qx::game::TESObjectBOOK* noList = sim::MakeBook({0x106, kBookFlag_TeachesSkill, 300, "Odd"});
  qx::game::TESObjectBOOK* both = sim::MakeBook(
      {0x107, kBookFlag_TeachesSkill | kBookFlag_TeachesSpell, reinterpret_cast<std::uintptr_t>(spell), "Both"});
  qx::game::DataHandler* dataHandler = sim::MakeDataHandlerWithBooks(
      {alchemy1, nullptr, alchemy2, destruction, spellBook, plain, noList, both});
};

class SkillBooksTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::Game::Start();
    sim::PlaceRoutine(qx::game::kLookupActorValueByName,
                      reinterpret_cast<const void*>(&LookupActorValueStandIn));
  }

  // Lists built from the library with the given settings; the log lines of the building.
  Lines Build(SkillBooks& books, const ProjectIni& settings) {
    books.Install(settings);
    return qxtest::CaptureLog([&] { books.BuildLists(library.dataHandler); });
  }

  Library library;
};

TEST_F(SkillBooksTest, ListsAndSetsFollowTheDataAsLoaded) {
  ProjectIni settings;
  SkillBooks books;
  Lines log = Build(books, settings);
  EXPECT_EQ(log, Lines{"QX Papyrus Func: skill book 00000106 teaches actor value index 300, which "
                       "has no skill list; not counted"});
  ASSERT_EQ(books.BooksFor(kAlchemy).size(), 2u);
  EXPECT_EQ(books.BooksFor(kAlchemy)[1], library.alchemy2);
  EXPECT_EQ(books.BooksFor(kDestruction).size(), 1u);
  EXPECT_EQ(books.SkillBookCount(), 4u);  // the one without a list is a skill book all the same
  EXPECT_EQ(books.SpellBookCount(), 2u);
  EXPECT_TRUE(books.IsInSkillBookSet(0x106));
  EXPECT_FALSE(books.IsInSkillBookSet(0x107));
  EXPECT_FALSE(books.PollingStarted());
  EXPECT_EQ(library.alchemy1->flags, kBookFlag_TeachesSkill);  // skill gain left alone

  EXPECT_EQ(GetNumSkillBooks(books), 4);
  EXPECT_EQ(GetNumSpellBooks(books), 2);
  EXPECT_EQ(GetNumSkillBooksFor(books, Name("Alchemy")), 2);
  EXPECT_EQ(GetNumSkillBooksFor(books, Name("Alchemyy")), 0);
  EXPECT_EQ(GetNumSkillBooksFor(books, Name(nullptr)), 0);
}

// The form ID sets against a standard set, form ID 0 among the IDs: growing as they fill,
// and again when more room is reserved after the fact.
TEST(BookIdSets, AgreeWithAStandardSetThroughGrowthAndFormIdZero) {
  qx::OpenAddressSet<qx::game::FormID> ids;
  std::set<qx::game::FormID> expected;
  std::uint32_t random = 777;
  auto next = [&] { return random = random * 1664525u + 1013904223u; };
  auto candidate = [](std::uint32_t r) { return (r >> 8) % 5 == 0 ? (r >> 12) % 8 : r & 0xFFFF0FFFu; };
  for (int step = 0; step < 6000; ++step) {
    qx::game::FormID id = candidate(next());
    ASSERT_EQ(ids.insert(id), expected.insert(id).second) << step;
    if (step == 3000) ids.reserve(20'000);
  }
  ASSERT_EQ(expected.count(0), 1u);
  EXPECT_EQ(ids.size(), expected.size());
  random = 777;
  for (int step = 0; step < 12'000; ++step) {
    qx::game::FormID id = step % 2 == 0 ? candidate(next()) : next();
    ASSERT_EQ(ids.count(id), expected.count(id)) << step;
  }
}

TEST_F(SkillBooksTest, DisableSkillGainAndDumpSkills) {
  ProjectIni settings;
  settings.bookDisableSkillGain = true;
  settings.bookDumpSkills = true;
  SkillBooks books;
  Lines log = Build(books, settings);
  EXPECT_EQ(log, (Lines{"QX Papyrus Func: skill book 00000106 teaches actor value index 300, which "
                        "has no skill list; not counted",
                        "QX Papyrus Func: registered the following skill books for AV index 16",
                        ">>> Herbs I", ">>> Herbs II",
                        "QX Papyrus Func: registered the following skill books for AV index 20",
                        ">>> Fire"}));
  for (auto* book : {library.alchemy1, library.destruction, library.noList}) {
    EXPECT_FALSE(book->flags & kBookFlag_TeachesSkill) << book->formID;
  }
  EXPECT_EQ(library.alchemy2->flags, kBookFlag_Read);
  EXPECT_EQ(library.both->flags, kBookFlag_TeachesSkill | kBookFlag_TeachesSpell);
  // Still skill books by set membership, teaching what they taught.
  EXPECT_TRUE(IsSkillBook(books, library.alchemy1));
  EXPECT_EQ(GetSkill(books, library.alchemy1), static_cast<std::int32_t>(kAlchemy));
  EXPECT_TRUE(IsSkill(books, library.alchemy1, Name("Alchemy")));
  EXPECT_FALSE(IsSkill(books, library.alchemy1, Name("Destruction")));
}

TEST_F(SkillBooksTest, NothingIsBuiltWithoutSettingsOrDataHandler) {
  SkillBooks noSettings;
  EXPECT_EQ(qxtest::CaptureLog([&] { noSettings.BuildLists(library.dataHandler); }),
            Lines{"QX Papyrus Func: no INI file was found"});
  EXPECT_EQ(noSettings.SkillBookCount(), 0u);

  ProjectIni settings;
  SkillBooks noHandler;
  noHandler.Install(settings);
  EXPECT_EQ(qxtest::CaptureLog([&] { noHandler.BuildLists(nullptr); }),
            Lines{"QX Papyrus Func: could not retrieve data handler"});
  EXPECT_EQ(noHandler.SkillBookCount(), 0u);
}

TEST_F(SkillBooksTest, EveryFunctionIsNeutralWithoutSettingsOrBook) {
  SkillBooks books;  // never installed: the settings could not be read
  auto* book = library.alchemy1;
  EXPECT_EQ(GetNumSkillBooksReadFor(books, Name("Alchemy"), true), 0);
  EXPECT_EQ(GetNumSkillBooksRead(books, true), 0);
  EXPECT_EQ(GetNumSkillBooks(books), 0);
  EXPECT_FALSE(IsSkillBook(books, book));
  EXPECT_EQ(GetSkill(books, book), -1);
  EXPECT_EQ(GetSpell(books, library.spellBook), nullptr);
  SetIsRead(books, book, true);
  SetBookSpell(books, book, library.spell);
  RemoveBookSkillSpell(books, book);
  EXPECT_EQ(book->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(book->teaches, kAlchemy);

  ProjectIni settings;
  books.Install(settings);
  EXPECT_EQ(GetSkill(books, nullptr), -1);
  EXPECT_FALSE(IsSpellBook(books, nullptr));
  SetBookSkill(books, nullptr, Name("Alchemy"));
  // The sounds answer without settings, and none for no book.
  auto* up = sim::MakeFormOf<qx::game::BGSSoundDescriptorForm>("BGSSoundDescriptorForm", 0x600);
  auto* noisy = sim::MakeBook({0x108, 0, 0, "Noisy", up, nullptr});
  EXPECT_EQ(GetBookSoundUp(noisy), up);
  EXPECT_EQ(GetBookSoundDown(noisy), nullptr);
  EXPECT_EQ(GetBookSoundUp(nullptr), nullptr);
}

TEST_F(SkillBooksTest, ChangingWhatABookTeaches) {
  ProjectIni settings;
  SkillBooks books;
  Build(books, settings);

  // A skill book given a spell stays a skill book by membership but teaches the spell.
  SetBookSpell(books, library.alchemy1, library.spell);
  EXPECT_TRUE(IsSkillBook(books, library.alchemy1));
  EXPECT_TRUE(IsSpellBook(books, library.alchemy1));
  EXPECT_EQ(GetSkill(books, library.alchemy1), -1);
  EXPECT_EQ(GetSpell(books, library.alchemy1), library.spell);

  // A spell book without its spell: none, but still a spell book.
  RemoveBookSkillSpell(books, library.spellBook);
  EXPECT_EQ(GetSpell(books, library.spellBook), nullptr);
  EXPECT_TRUE(IsSpellBook(books, library.spellBook));
  EXPECT_EQ(library.spellBook->teaches, 0u);

  // A plain book made to teach a skill; a misspelt skill changes nothing.
  SetBookSkill(books, library.plain, Name("Destruction"));
  EXPECT_EQ(library.plain->flags, kBookFlag_TeachesSkill);
  EXPECT_TRUE(IsSkill(books, library.plain, Name("Destruction")));
  SetBookSkill(books, library.plain, Name("Destructoin"));
  EXPECT_EQ(library.plain->teaches, kDestruction);
  EXPECT_FALSE(IsSkill(books, library.plain, Name("Destructoin")));
  EXPECT_FALSE(IsSkillBook(books, library.spellBook));
  EXPECT_EQ(GetSpell(books, library.destruction), nullptr);
}

TEST_F(SkillBooksTest, ReadFlagsAndCountsWithAndWithoutRecount) {
  ProjectIni settings;
  SkillBooks books;
  Build(books, settings);
  EXPECT_EQ(GetNumSkillBooksRead(books, false), 0);  // nothing counted yet
  EXPECT_EQ(GetNumSkillBooksRead(books, true), 1);   // Herbs II was read

  SetIsRead(books, library.alchemy1, true);
  EXPECT_EQ(library.alchemy1->flags, kBookFlag_Read);  // reading takes the skill away
  EXPECT_EQ(GetNumSkillBooksRead(books, false), 1);
  EXPECT_EQ(GetNumSkillBooksReadFor(books, Name("Alchemy"), false), 1);
  EXPECT_EQ(GetNumSkillBooksReadFor(books, Name("Alchemy"), true), 2);
  EXPECT_EQ(GetNumSkillBooksRead(books, false), 2);  // the total moved with the one skill
  EXPECT_EQ(GetNumSkillBooksReadFor(books, Name("Alchemyy"), true), 0);

  SetIsRead(books, library.alchemy1, false);
  EXPECT_EQ(library.alchemy1->flags, kBookFlag_TeachesSkill);
  SetIsRead(books, library.spellBook, true);
  EXPECT_EQ(library.spellBook->flags, kBookFlag_Read);
  SetIsRead(books, library.spellBook, false);
  EXPECT_EQ(library.spellBook->flags, kBookFlag_TeachesSpell);
  EXPECT_EQ(GetNumSkillBooksRead(books, true), 1);
}

TEST_F(SkillBooksTest, GameLoadClearsReadFlagsOrRecounts) {
  ProjectIni settings;
  SkillBooks books;
  Build(books, settings);
  library.alchemy1->flags |= kBookFlag_Read;
  library.noList->flags |= kBookFlag_Read;
  EXPECT_EQ(qxtest::CaptureLog([&] { books.AfterGameLoad(); }),
            Lines{"QX Papyrus Func: updating list of read skill books"});
  EXPECT_EQ(books.ReadCount(kAlchemy), 2u);
  EXPECT_EQ(GetNumSkillBooksRead(books, false), 2);

  settings.bookClearAllReadSkills = true;
  settings.bookDisableSkillGain = true;
  library.alchemy1->flags = kBookFlag_Read;
  EXPECT_EQ(qxtest::CaptureLog([&] { books.AfterGameLoad(); }),
            Lines{"QX Papyrus Func: cleared read flags for all skill books"});
  EXPECT_EQ(books.ReadCount(kAlchemy), 0u);
  EXPECT_EQ(GetNumSkillBooksRead(books, false), 2);  // the total is left as it was
  // Both settings: the skill flag comes back with the cleared read flag.
  for (auto* book : {library.alchemy1, library.alchemy2, library.noList}) {
    EXPECT_EQ(book->flags, kBookFlag_TeachesSkill) << book->formID;
  }
  EXPECT_EQ(GetNumSkillBooksRead(books, true), 0);

  // A skill book a script gave a spell keeps teaching only the spell.
  SetBookSpell(books, library.destruction, library.spell);
  books.AfterGameLoad();
  EXPECT_EQ(library.destruction->flags, kBookFlag_TeachesSpell);
  EXPECT_EQ(GetSpell(books, library.destruction), library.spell);

  settings.bookClearAllReadSkills = false;
  books.AfterGameLoad();
  EXPECT_EQ(library.alchemy1->flags, 0);
  EXPECT_EQ(library.noList->flags, 0);

  SkillBooks noSettings;
  EXPECT_TRUE(qxtest::CaptureLog([&] { noSettings.AfterGameLoad(); }).empty());
}

TEST_F(SkillBooksTest, PollingOnlyForAPositiveInterval) {
  for (std::int32_t interval : {0, -5}) {
    ProjectIni settings;
    settings.bookSkillReadPollingTimeMillis = interval;
    SkillBooks books;
    Build(books, settings);
    EXPECT_FALSE(books.PollingStarted()) << interval;
  }

  ProjectIni* settings = new ProjectIni();
  settings->bookSkillReadPollingTimeMillis = 5;
  auto* books = new SkillBooks();  // the thread runs until the process ends
  sim::KeepForProcess(settings);
  sim::KeepForProcess(books);
  Build(*books, *settings);
  EXPECT_TRUE(books->PollingStarted());
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (books->TotalReadCount() != 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(books->TotalReadCount(), 1u);
  EXPECT_EQ(books->ReadCount(kAlchemy), 1u);
}

// The data-loaded step run again (another plugin may resend the message) keeps the lists as
// built and starts no second polling thread.
TEST_F(SkillBooksTest, BuildingAgainKeepsTheListsAndTheOnePollingThread) {
  auto threads = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                         std::filesystem::directory_iterator());
  };
  ProjectIni* settings = new ProjectIni();
  settings->bookSkillReadPollingTimeMillis = 1000;
  settings->bookDumpSkills = true;
  auto* books = new SkillBooks();  // the thread runs until the process ends
  sim::KeepForProcess(settings);
  sim::KeepForProcess(books);
  Build(*books, *settings);
  ASSERT_TRUE(books->PollingStarted());
  auto before = threads();
  EXPECT_EQ(qxtest::CaptureLog([&] { books->BuildLists(library.dataHandler); }),
            Lines{"QX Papyrus Func: skill book lists already built; keeping them"});
  EXPECT_EQ(threads(), before);
  EXPECT_EQ(books->BooksFor(kAlchemy).size(), 2u);
  EXPECT_EQ(books->SkillBookCount(), 4u);
  EXPECT_EQ(books->RecountAll(), 1u);
}

// A script asking about a book that another script is changing gets the book as it is
// after the change (a setter holds the books lock from its first store to its last), never
// the new value under the old flag. The reader is given time to answer early; it must not.
TEST_F(SkillBooksTest, ReadersWaitForAChangeInProgress) {
  ProjectIni settings;
  SkillBooks books;
  Build(books, settings);
  qx::game::TESObjectBOOK* book = library.plain;
  constexpr std::int64_t kNoAnswer = -2;
  // `ask` on another thread while the book holds `value` under its old flags; then the
  // change finishes with `flags`.
  using Question = std::int64_t (*)(SkillBooks&, qx::game::TESObjectBOOK*);
  auto askDuringChange = [&](std::uintptr_t value, std::uint8_t flags, Question ask) {
    std::atomic<std::int64_t> answer{kNoAnswer};
    std::thread reader;
    {
      auto lock = books.Lock();
      book->teaches = value;
      reader = std::thread([&] { answer = ask(books, book); });
      auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
      while (answer == kNoAnswer && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      book->flags = flags;
    }
    reader.join();
    return answer.load();
  };
  auto spellOf = [](SkillBooks& b, qx::game::TESObjectBOOK* k) -> std::int64_t {
    return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(GetSpell(b, k)));
  };
  auto skillOf = [](SkillBooks& b, qx::game::TESObjectBOOK* k) -> std::int64_t { return GetSkill(b, k); };

  SetBookSpell(books, book, library.spell);
  EXPECT_EQ(askDuringChange(kAlchemy, kBookFlag_TeachesSkill, spellOf), 0) << "the skill index as a spell";
  auto spellWord = reinterpret_cast<std::uintptr_t>(library.spell);
  EXPECT_EQ(askDuringChange(spellWord, kBookFlag_TeachesSpell, skillOf), -1) << "the spell as a skill";
}

// Script threads recounting single skills while another recounts all and flags change: after
// every recount has finished, the total is the sum of the counts.
TEST_F(SkillBooksTest, RecountsFromSeveralThreadsKeepTheTotalWhole) {
  ProjectIni settings;
  SkillBooks books;
  books.Install(settings);
  // Long lists, so that a full recount takes long enough to meet the others.
  std::vector<qx::game::TESObjectBOOK*> shelf{library.alchemy1, library.destruction};
  for (std::uint32_t i = 0; i < 2000; ++i) {
    auto flags = static_cast<std::uint8_t>(kBookFlag_TeachesSkill | (i % 2 ? kBookFlag_Read : 0));
    shelf.push_back(sim::MakeBook({0x1000 + i, flags, i % 40, ""}));
  }
  qxtest::CaptureLog([&] { books.BuildLists(sim::MakeDataHandlerWithBooks(shelf)); });
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int i = 0; !stop; ++i) {
      SetIsRead(books, library.alchemy1, i % 2 == 0);
      SetIsRead(books, library.destruction, i % 3 == 0);
    }
  });
  for (std::uint32_t skill : {kAlchemy, kDestruction}) {
    threads.emplace_back([&, skill] {
      while (!stop) books.RecountSkill(skill);
    });
  }
  threads.emplace_back([&] {
    while (!stop) books.RecountAll();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  stop = true;
  for (auto& t : threads) t.join();
  std::uint32_t sum = 0;
  for (std::uint32_t skill = 0; skill < SkillBooks::kSkillLists; ++skill) sum += books.ReadCount(skill);
  EXPECT_EQ(books.TotalReadCount(), sum);
}

}  // namespace
