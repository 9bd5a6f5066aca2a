// The book functions as scripts call them, on books of the game's data: registration, what
// books teach, read counts with and without recount, the game-load step and polling.
#include <chrono>
#include <limits>
#include <thread>

#include "sim/ActorValueNames.h"
#include "sim/Books.h"
#include "sim/Faults.h"
#include "sim/Forms.h"
#include "tests/host/PapyrusFixture.h"

namespace {

using namespace qxtest;
using qx::game::BGSSoundDescriptorForm;
using qx::game::kBookFlag_Read;
using qx::game::kBookFlag_TeachesSkill;
using qx::game::kBookFlag_TeachesSpell;
using qx::game::SpellItem;
using qx::game::TESObjectBOOK;
using qx::papyrus::IFunction;
using qx::papyrus::kType_Bool;
using qx::papyrus::kType_Int;
using qx::papyrus::kType_None;

constexpr std::uint32_t kBookType = 0x1B;
constexpr std::uint32_t kSpellType = 0x16;
constexpr std::uint32_t kSoundType = 0x80;

std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

std::uint32_t Skill(const char* name) { return sim::LookupActorValue(name); }

// The game's books: two alchemy books (one read), a destruction book, a spell tome, a letter
// that teaches nothing, and a null element.
struct Library {
  SpellItem* spell = sim::MakeFormOf<SpellItem>("SpellItem", 0x500);
  SpellItem* otherSpell = sim::MakeFormOf<SpellItem>("SpellItem", 0x501);
  BGSSoundDescriptorForm* pageTurn = sim::MakeFormOf<BGSSoundDescriptorForm>("BGSSoundDescriptorForm", 0x600);
  TESObjectBOOK* herbs = sim::MakeBook({0x101, kBookFlag_TeachesSkill, Skill("Alchemy"), "Herbs I", pageTurn});
  TESObjectBOOK* herbsRead =
      sim::MakeBook({0x102, kBookFlag_TeachesSkill | kBookFlag_Read, Skill("Alchemy"), "Herbs II"});
  TESObjectBOOK* fire = sim::MakeBook({0x103, kBookFlag_TeachesSkill, Skill("Destruction"), "Fire"});
  TESObjectBOOK* tome = sim::MakeBook({0x104, kBookFlag_TeachesSpell, Word(spell), "Tome"});
  TESObjectBOOK* letter = sim::MakeBook({0x105, 0, 0, "Letter"});

  Library() {
    sim::SetDataHandlerBooks({herbs, nullptr, herbsRead, fire, tome, letter});
    // Forms the game has loaded have handles, so that results can name them.
    Vm::Adopt(spell, kSpellType);
    Vm::Adopt(otherSpell, kSpellType);
    Vm::Adopt(pageTurn, kSoundType);
  }
};

// The game with the library loaded and the plugin booted with `ini` (none: no settings file).
Library& LoadGame(const std::optional<std::string>& ini) {
  sim::Game::Start();
  static Library* library = new Library();  // the game's data lives as long as the process
  sim::BootOptions options;
  options.settings = ini;
  EXPECT_TRUE(sim::Game::Boot(options).loaded);
  sim::Game::SendDataLoaded();
  return *library;
}

ScriptValue Book(TESObjectBOOK* book) { return Vm::Object(book, kBookType); }

ScriptValue Call(const std::string& function, const std::vector<ScriptValue>& arguments) {
  return Vm::CallNative("QXPapyrusFunc", function, arguments);
}

std::int32_t IntCall(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Call(function, arguments);
  EXPECT_EQ(result.type, kType_Int) << function;
  return static_cast<std::int32_t>(result.data);
}

bool BoolCall(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Call(function, arguments);
  EXPECT_EQ(result.type, kType_Bool) << function;
  return result.data != 0;
}

// The game object of an object result; null for none.
void* ObjectCall(const std::string& function, const std::vector<ScriptValue>& arguments) {
  ScriptValue result = Call(function, arguments);
  void* object = Vm::GameObjectOf(result);
  if (object == nullptr) {
    EXPECT_EQ(result.data, 0u) << function;
  }
  Vm::Release(result);
  return object;
}

void NoResult(const std::string& function, const std::vector<ScriptValue>& arguments) {
  EXPECT_EQ(Call(function, arguments).type, kType_None) << function;
}

std::int32_t ReadTotal(bool recount) { return IntCall("GetNumSkillBooksRead", {Vm::Bool(recount)}); }

std::int32_t ReadFor(const char* skill, bool recount) {
  return IntCall("GetNumSkillBooksReadFor", {Vm::String(skill), Vm::Bool(recount)});
}

TEST(QXPapyrusFunc, RegistersSixteenFunctionsWithTheirScriptTypes) {
  LoadGame("[books]\n");
  EXPECT_TRUE(HasLine(LogLines(), "QX Papyrus: registered general functions"));
  const std::uint32_t book = ClassCode(kBookType);
  const std::uint32_t spell = ClassCode(kSpellType);
  const std::uint32_t sound = ClassCode(kSoundType);
  ASSERT_NE(book, 0u);
  struct Expected {
    const char* name;
    std::vector<std::uint32_t> parameters;
    std::uint32_t result;
  };
  const std::vector<Expected> expected = {
      {"GetBookSoundUp", {book}, sound},  {"GetBookSoundDown", {book}, sound},
      {"GetNumSkillBooksReadFor", {2, 5}, 3}, {"GetNumSkillBooksRead", {5}, 3},
      {"GetNumSkillBooksFor", {2}, 3},    {"GetNumSkillBooks", {}, 3},
      {"GetNumSpellBooks", {}, 3},        {"IsSkillBook", {book}, 5},
      {"IsSpellBook", {book}, 5},         {"GetSkill", {book}, 3},
      {"IsSkill", {book, 2}, 5},          {"GetSpell", {book}, spell},
      {"SetIsRead", {book, 5}, 0},        {"SetBookSkill", {book, 2}, 0},
      {"SetBookSpell", {book, spell}, 0}, {"RemoveBookSkillSpell", {book}, 0},
  };
  std::vector<IFunction*> functions;
  for (IFunction* f : Vm::RegisteredFunctions()) {
    if (std::string(f->className.data) == "QXPapyrusFunc") functions.push_back(f);
  }
  ASSERT_EQ(functions.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_STREQ(functions[i]->name.data, expected[i].name);
    ASSERT_EQ(functions[i]->parameterCount, expected[i].parameters.size());
    for (std::size_t p = 0; p < expected[i].parameters.size(); ++p) {
      EXPECT_EQ(functions[i]->parameters[p].type, expected[i].parameters[p]);
    }
    EXPECT_EQ(functions[i]->resultType, expected[i].result);
  }
}

TEST(QXPapyrusFunc, ListsAndWhatBooksTeach) {
  Library& library = LoadGame("[books]\n");
  EXPECT_EQ(IntCall("GetNumSkillBooks", {}), 3);
  EXPECT_EQ(IntCall("GetNumSpellBooks", {}), 1);
  EXPECT_EQ(IntCall("GetNumSkillBooksFor", {Vm::String("alchemy")}), 2);
  EXPECT_EQ(IntCall("GetNumSkillBooksFor", {Vm::String("Alchemyy")}), 0);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.fire)}), static_cast<std::int32_t>(Skill("Destruction")));
  EXPECT_TRUE(BoolCall("IsSkill", {Book(library.fire), Vm::String("Destruction")}));
  EXPECT_FALSE(BoolCall("IsSkill", {Book(library.fire), Vm::String("Alchemy")}));
  EXPECT_FALSE(BoolCall("IsSkill", {Book(library.fire), Vm::String("Destructoin")}));
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), library.spell);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.tome)}), -1);
  EXPECT_FALSE(BoolCall("IsSkillBook", {Book(library.letter)}));
  EXPECT_FALSE(BoolCall("IsSpellBook", {Book(library.letter)}));
  EXPECT_EQ(ObjectCall("GetBookSoundUp", {Book(library.herbs)}), library.pageTurn);
  EXPECT_EQ(ObjectCall("GetBookSoundDown", {Book(library.herbs)}), nullptr);

  // A skill book given a spell: still a skill book (it was one when the data loaded), and now
  // a spell book teaching that spell and no skill.
  NoResult("SetBookSpell", {Book(library.fire), Vm::Object(library.otherSpell, kSpellType)});
  EXPECT_TRUE(BoolCall("IsSkillBook", {Book(library.fire)}));
  EXPECT_TRUE(BoolCall("IsSpellBook", {Book(library.fire)}));
  EXPECT_EQ(IntCall("GetSkill", {Book(library.fire)}), -1);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.fire)}), library.otherSpell);

  // A spell book without its spell: no spell, but still a spell book.
  NoResult("RemoveBookSkillSpell", {Book(library.tome)});
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), nullptr);
  EXPECT_TRUE(BoolCall("IsSpellBook", {Book(library.tome)}));

  // A letter made to teach a skill; a misspelt skill changes nothing.
  NoResult("SetBookSkill", {Book(library.letter), Vm::String("Alchemy")});
  EXPECT_TRUE(BoolCall("IsSkill", {Book(library.letter), Vm::String("Alchemy")}));
  NoResult("SetBookSkill", {Book(library.letter), Vm::String("Alchemyy")});
  EXPECT_EQ(IntCall("GetSkill", {Book(library.letter)}), static_cast<std::int32_t>(Skill("Alchemy")));
  // The lists are what the data held: setters change only the book.
  EXPECT_EQ(IntCall("GetNumSkillBooksFor", {Vm::String("Alchemy")}), 2);
  EXPECT_EQ(IntCall("GetNumSkillBooks", {}), 3);
}

// Marking a book unread gives back what it taught at data load only when it teaches
// nothing now: a spell tome made to teach a skill never hands its actor value index to the
// game as a spell.
TEST(QXPapyrusFunc, AnUnreadBookTeachesOneThingAtATime) {
  Library& library = LoadGame("[books]\n");
  NoResult("SetBookSkill", {Book(library.tome), Vm::String("Alchemy")});
  NoResult("SetIsRead", {Book(library.tome), Vm::Bool(false)});
  EXPECT_EQ(library.tome->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), nullptr);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.tome)}), static_cast<std::int32_t>(Skill("Alchemy")));
  EXPECT_TRUE(BoolCall("IsSpellBook", {Book(library.tome)}));

  NoResult("SetBookSpell", {Book(library.fire), Vm::Object(library.otherSpell, kSpellType)});
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(false)});
  EXPECT_EQ(library.fire->flags, kBookFlag_TeachesSpell);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.fire)}), library.otherSpell);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.fire)}), -1);

  // Read by the player, the game clears the teach flag: marked unread again, the book gets
  // back the flag of what its value is, the skill a setter gave it, never the other one.
  auto readInGame = [](TESObjectBOOK* book) {
    book->flags = static_cast<std::uint8_t>((book->flags & ~(kBookFlag_TeachesSkill | kBookFlag_TeachesSpell)) |
                                            kBookFlag_Read);
  };
  readInGame(library.tome);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), nullptr) << "an actor value index is no spell";
  NoResult("SetIsRead", {Book(library.tome), Vm::Bool(false)});
  EXPECT_EQ(library.tome->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), nullptr);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.tome)}), static_cast<std::int32_t>(Skill("Alchemy")));
  readInGame(library.fire);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.fire)}), -1) << "a spell is no actor value index";
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(false)});
  EXPECT_EQ(library.fire->flags, kBookFlag_TeachesSpell);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.fire)}), library.otherSpell);
  // A value another plugin wrote is no one's: no flag is given back for it.
  readInGame(library.fire);
  library.fire->teaches = 77;
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(false)});
  EXPECT_EQ(library.fire->flags, 0);
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.fire)}), nullptr);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.fire)}), -1);

  // Marked read and unread again, a skill book that teaches nothing teaches its skill again.
  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(true)});
  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(false)});
  EXPECT_EQ(library.herbs->flags, kBookFlag_TeachesSkill);
  // Both flags, as another plugin may leave a book: its value is no spell.
  library.letter->flags = kBookFlag_TeachesSkill | kBookFlag_TeachesSpell;
  library.letter->teaches = Skill("Alchemy");
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.letter)}), nullptr);
}

// Another plugin may send the data-loaded message again: the lists stay as first built.
TEST(QXPapyrusFunc, DataLoadedAgainKeepsTheLists) {
  LoadGame("[books]\ndumpskills=1\n");
  sim::Game::SendDataLoaded();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: skill book lists already built; keeping them");
  const std::string dump = "QX Papyrus Func: registered the following skill books";
  EXPECT_EQ(LinesStartingWith(LogLines(), dump).size(), 2u) << "alchemy and destruction, once";
  EXPECT_EQ(IntCall("GetNumSkillBooksFor", {Vm::String("Alchemy")}), 2);
  EXPECT_EQ(IntCall("GetNumSkillBooks", {}), 3);
  EXPECT_EQ(ReadTotal(true), 1);
}

TEST(QXPapyrusFunc, DisableSkillGainKeepsWhatSkillBooksTeach) {
  Library& library = LoadGame("[books]\ndisableskillgain=1\n");
  EXPECT_EQ(library.herbs->flags & kBookFlag_TeachesSkill, 0);
  EXPECT_EQ(IntCall("GetSkill", {Book(library.herbs)}), static_cast<std::int32_t>(Skill("Alchemy")));
  EXPECT_TRUE(BoolCall("IsSkillBook", {Book(library.herbs)}));
  EXPECT_TRUE(BoolCall("IsSkill", {Book(library.herbs), Vm::String("Alchemy")}));
}

// What a script passes for a Bool reaches the book as the game's VM converts it.
TEST(QXPapyrusFunc, BoolArgumentsConvertAsTheGameDoes) {
  Library& library = LoadGame("[books]\n");
  struct Case {
    const char* what;
    ScriptValue value;
    bool read;
  } cases[] = {
      {"true", Vm::Bool(true), true},
      {"false", Vm::Bool(false), false},
      {"int 2", Vm::Int(2), true},
      {"int 0", Vm::Int(0), false},
      {"float 0.5", Vm::Float(0.5f), true},
      {"float 0.0", Vm::Float(0.0f), false},
      {"float NaN", Vm::Float(std::numeric_limits<float>::quiet_NaN()), true},
      {"string", Vm::String("true"), false},
      {"none", Vm::None(), false},
  };
  for (const Case& c : cases) {
    NoResult("SetIsRead", {Book(library.fire), c.value});
    EXPECT_EQ((library.fire->flags & kBookFlag_Read) != 0, c.read) << c.what;
  }
}

TEST(QXPapyrusFunc, ReadCountsChangeOnlyWithARecount) {
  Library& library = LoadGame("[books]\n");
  EXPECT_EQ(ReadTotal(false), 0);  // nothing counted since the data loaded
  EXPECT_EQ(ReadTotal(true), 1);

  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(true)});
  EXPECT_EQ(library.herbs->flags, kBookFlag_Read);  // a read skill book teaches no more
  EXPECT_EQ(ReadTotal(false), 1);
  EXPECT_EQ(ReadFor("Alchemy", false), 1);
  EXPECT_EQ(ReadFor("Alchemy", true), 2);
  EXPECT_EQ(ReadTotal(false), 2);  // the one skill's recount moved the total
  EXPECT_EQ(ReadFor("Alchemyy", true), 0);

  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(true)});
  EXPECT_EQ(ReadTotal(false), 2);
  EXPECT_EQ(ReadTotal(true), 3);
  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(false)});
  EXPECT_EQ(library.herbs->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(ReadTotal(true), 2);

  // After a game load without clearallreadskills: recounted.
  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(true)});
  sim::Game::SendPostLoadGame();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: updating list of read skill books");
  EXPECT_EQ(ReadTotal(false), 3);
}

TEST(QXPapyrusFunc, ClearAllReadSkillsZeroesEachSkillButNotTheTotal) {
  Library& library = LoadGame("[books]\nclearallreadskills=1\n");
  EXPECT_EQ(ReadTotal(true), 1);
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(true)});
  NoResult("SetIsRead", {Book(library.tome), Vm::Bool(true)});
  EXPECT_EQ(ReadTotal(true), 2);
  sim::Game::SendPostLoadGame();
  EXPECT_EQ(LogLines().back(), "QX Papyrus Func: cleared read flags for all skill books");
  EXPECT_EQ(ReadFor("Alchemy", false), 0);
  EXPECT_EQ(ReadFor("Destruction", false), 0);
  EXPECT_EQ(ReadTotal(false), 2);
  EXPECT_EQ(library.fire->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(library.herbsRead->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(library.tome->flags, kBookFlag_Read);  // spell books are in no skill list
  EXPECT_EQ(ReadTotal(true), 0);
}

// Whether read counts follow the books without any recount from scripts within `wait`.
bool CountsFollowByThemselves(Library& library, std::chrono::milliseconds wait) {
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(true)});
  auto deadline = std::chrono::steady_clock::now() + wait;
  while (std::chrono::steady_clock::now() < deadline) {
    if (ReadTotal(false) == 2) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(QXPapyrusFunc, PollingRecountsForAPositiveInterval) {
  Library& library = LoadGame("[books]\nskillreadpollingtimemillis=5\n");
  EXPECT_TRUE(CountsFollowByThemselves(library, std::chrono::seconds(5)));
}

TEST(QXPapyrusFunc, NoPollingForAZeroInterval) {
  Library& library = LoadGame("[books]\nskillreadpollingtimemillis=0\n");
  EXPECT_FALSE(CountsFollowByThemselves(library, std::chrono::milliseconds(100)));
}

TEST(QXPapyrusFunc, NoPollingForANegativeInterval) {
  Library& library = LoadGame("[books]\nskillreadpollingtimemillis=-5\n");
  EXPECT_FALSE(CountsFollowByThemselves(library, std::chrono::milliseconds(100)));
}

// The system refuses the polling thread: the data-loaded step says so, and counts still
// follow the books whenever a script asks for a recount.
TEST(QXPapyrusFunc, APollingThreadThatCannotStartLeavesRecountsToScripts) {
  sim::Game::Start();
  sim::Faults::RefuseNewThreads(true);
  Library& library = LoadGame("[books]\nskillreadpollingtimemillis=5\n");
  sim::Faults::RefuseNewThreads(false);
  std::vector<std::string> refused =
      LinesStartingWith(LogLines(), "QX Papyrus Func: could not start the skill read polling thread (");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_NE(refused[0].find("); counts refresh only on request"), std::string::npos) << refused[0];
  NoResult("SetIsRead", {Book(library.fire), Vm::Bool(true)});
  EXPECT_EQ(ReadTotal(false), 0);
  EXPECT_EQ(ReadTotal(true), 2);
}

// No book (none, a stale handle, an object of another type): neutral results, no change.
TEST(QXPapyrusFunc, NoBookGivesNeutralResults) {
  Library& library = LoadGame("[books]\n");
  ScriptValue stale = Book(library.fire);
  Vm::Unload(library.fire);
  for (const ScriptValue& none : {Vm::None(), stale, Vm::Object(library.spell, kSpellType)}) {
    EXPECT_EQ(ObjectCall("GetBookSoundUp", {none}), nullptr);
    EXPECT_EQ(ObjectCall("GetBookSoundDown", {none}), nullptr);
    EXPECT_FALSE(BoolCall("IsSkillBook", {none}));
    EXPECT_FALSE(BoolCall("IsSpellBook", {none}));
    EXPECT_EQ(IntCall("GetSkill", {none}), -1);
    EXPECT_FALSE(BoolCall("IsSkill", {none, Vm::String("Destruction")}));
    EXPECT_EQ(ObjectCall("GetSpell", {none}), nullptr);
    NoResult("SetIsRead", {none, Vm::Bool(true)});
    NoResult("SetBookSkill", {none, Vm::String("Alchemy")});
    NoResult("SetBookSpell", {none, Vm::Object(library.spell, kSpellType)});
    NoResult("RemoveBookSkillSpell", {none});
  }
  EXPECT_EQ(library.fire->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(library.fire->teaches, Skill("Destruction"));
  // A book given no spell teaches none.
  NoResult("SetBookSpell", {Book(library.herbs), Vm::None()});
  EXPECT_TRUE(BoolCall("IsSpellBook", {Book(library.herbs)}));
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.herbs)}), nullptr);
}

// Without a settings file the lists are never built and every function but the sounds is
// neutral; books stay as they are.
TEST(QXPapyrusFunc, NoSettingsGivesNeutralResults) {
  Library& library = LoadGame(std::nullopt);
  EXPECT_TRUE(HasLine(LogLines(), "QX Papyrus: registered general functions"));
  EXPECT_EQ(IntCall("GetNumSkillBooks", {}), 0);
  EXPECT_EQ(IntCall("GetNumSpellBooks", {}), 0);
  EXPECT_EQ(IntCall("GetNumSkillBooksFor", {Vm::String("Alchemy")}), 0);
  EXPECT_EQ(ReadFor("Alchemy", true), 0);
  EXPECT_EQ(ReadTotal(true), 0);
  EXPECT_FALSE(BoolCall("IsSkillBook", {Book(library.herbs)}));
  EXPECT_FALSE(BoolCall("IsSpellBook", {Book(library.tome)}));
  EXPECT_EQ(IntCall("GetSkill", {Book(library.herbs)}), -1);
  EXPECT_FALSE(BoolCall("IsSkill", {Book(library.herbs), Vm::String("Alchemy")}));
  EXPECT_EQ(ObjectCall("GetSpell", {Book(library.tome)}), nullptr);
  NoResult("SetIsRead", {Book(library.herbs), Vm::Bool(true)});
  NoResult("SetBookSkill", {Book(library.tome), Vm::String("Alchemy")});
  NoResult("SetBookSpell", {Book(library.herbs), Vm::Object(library.spell, kSpellType)});
  NoResult("RemoveBookSkillSpell", {Book(library.fire)});
  EXPECT_EQ(library.herbs->flags, kBookFlag_TeachesSkill);
  EXPECT_EQ(library.tome->flags, kBookFlag_TeachesSpell);
  EXPECT_EQ(library.fire->teaches, Skill("Destruction"));
  EXPECT_EQ(ObjectCall("GetBookSoundUp", {Book(library.herbs)}), library.pageTurn);
}

}  // namespace
