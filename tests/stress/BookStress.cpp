// The book functions from two threads while the plugin's polling thread recounts every
// millisecond: one thread switches books between skill and spell and marks them read and
// unread, the other asks what they teach and counts read books with and without recount.
// A spell answer must always be one of the game's spells, a skill answer one of the skills
// (or the value a removal leaves), and once the threads stop the counts must add up to the
// read flags.
#include <cstdint>
#include <vector>

#include "sim/ActorValueNames.h"
#include "sim/Books.h"
#include "sim/Forms.h"
#include "tests/stress/Stress.h"

namespace stress::books {
namespace {

using qx::game::kBookFlag_Read;
using qx::game::kBookFlag_TeachesSkill;
using qx::game::kBookFlag_TeachesSpell;
using qx::game::SpellItem;
using qx::game::TESObjectBOOK;

constexpr const char* kClass = "QXPapyrusFunc";
constexpr std::uint32_t kBookType = 0x1B;
constexpr std::uint32_t kSpellType = 0x16;
constexpr int kSkills = 4;
constexpr int kBooks = 16;
constexpr const char* kSkillNames[kSkills] = {"Alchemy", "Destruction", "Smithing", "Marksman"};

struct Library {
  SpellItem* spells[kSkills];
  std::uint32_t skills[kSkills];
  TESObjectBOOK* books[kBooks];
  int listedSkill[kBooks];  // the skill list a book was put in at data load; -1: none
};
Library gLibrary;

ScriptValue Book(int k) { return Vm::Object(gLibrary.books[k], kBookType); }

bool IsSpell(const void* object) {
  for (SpellItem* spell : gLibrary.spells) {
    if (object == spell) return true;
  }
  return false;
}

// What GetSkill may answer: -1, a skill the books were given, or the 0 that
// RemoveBookSkillSpell leaves in a book of the skill-book set.
bool IsSkillAnswer(std::int32_t skill) {
  if (skill == -1 || skill == 0) return true;
  for (std::uint32_t known : gLibrary.skills) {
    if (static_cast<std::uint32_t>(skill) == known) return true;
  }
  return false;
}

void Change(std::uint32_t step) {
  for (int k = 0; k < kBooks; ++k) {
    switch ((step + static_cast<std::uint32_t>(k)) % 5) {
      case 0:
        Call(kClass, "SetBookSpell", {Book(k), Vm::Object(gLibrary.spells[k % kSkills], kSpellType)});
        break;
      case 1:
        Call(kClass, "SetBookSkill", {Book(k), Vm::String(kSkillNames[k % kSkills])});
        break;
      case 2:
        Call(kClass, "SetIsRead", {Book(k), Vm::Bool(true)});
        break;
      case 3:
        Call(kClass, "SetIsRead", {Book(k), Vm::Bool(false)});
        break;
      default:
        Call(kClass, "RemoveBookSkillSpell", {Book(k)});
        break;
    }
    ++Mine().bookCalls;
  }
}

void Ask(std::uint32_t step) {
  for (int k = 0; k < kBooks; ++k) {
    void* spell = ObjectCall(kClass, "GetSpell", {Book(k)});
    if (spell != nullptr && !IsSpell(spell)) Fail("GetSpell of book %d gave %p, which is no spell", k, spell);
    std::int32_t skill = IntCall(kClass, "GetSkill", {Book(k)});
    if (!IsSkillAnswer(skill)) Fail("GetSkill of book %d gave %d, which is no skill", k, skill);
    (void)BoolCall(kClass, "IsSkillBook", {Book(k)});
    (void)BoolCall(kClass, "IsSkill", {Book(k), Vm::String(kSkillNames[k % kSkills])});
    Mine().bookCalls += 4;
  }
  std::int32_t total = IntCall(kClass, "GetNumSkillBooksRead", {Vm::Bool(step % 2 == 0)});
  if (total < 0 || total > kBooks) Fail("GetNumSkillBooksRead gave %d of %d books", total, kBooks);
  std::int32_t one = IntCall(kClass, "GetNumSkillBooksReadFor", {Vm::String(kSkillNames[step % kSkills]), Vm::Bool(true)});
  if (one < 0 || one > kBooks) Fail("GetNumSkillBooksReadFor gave %d of %d books", one, kBooks);
  Mine().bookCalls += 2;
}

}  // namespace

void SetUpGameData() {
  std::vector<TESObjectBOOK*> books;
  for (int s = 0; s < kSkills; ++s) {
    gLibrary.spells[s] = sim::MakeFormOf<SpellItem>("SpellItem", 0x700 + static_cast<std::uint32_t>(s));
    Vm::Adopt(gLibrary.spells[s], kSpellType);
    gLibrary.skills[s] = sim::LookupActorValue(kSkillNames[s]);
  }
  for (int k = 0; k < kBooks; ++k) {
    sim::BookData data;
    data.formID = 0x800 + static_cast<std::uint32_t>(k);
    data.name = "Book " + std::to_string(k);
    if (k % 4 == 3) {  // every fourth a spell tome
      data.flags = kBookFlag_TeachesSpell;
      data.teaches = reinterpret_cast<std::uintptr_t>(gLibrary.spells[k % kSkills]);
      gLibrary.listedSkill[k] = -1;
    } else {
      data.flags = static_cast<std::uint8_t>(kBookFlag_TeachesSkill | (k % 2 == 0 ? kBookFlag_Read : 0));
      data.teaches = gLibrary.skills[k % kSkills];
      gLibrary.listedSkill[k] = k % kSkills;
    }
    gLibrary.books[k] = sim::MakeBook(data);
    Vm::Adopt(gLibrary.books[k], kBookType);
    books.push_back(gLibrary.books[k]);
  }
  sim::SetDataHandlerBooks(books);
}

void Work(const Worker& worker, const Run& run) {
  for (std::uint32_t step = 0; !run.Over(); ++step) {
    if (worker.index == 0) {
      Change(step);
    } else {
      Ask(step);
    }
    EndStep(worker.thread);
  }
}

void Check() {
  // The polling thread still recounts, but nothing changes a flag any more.
  std::int32_t expected[kSkills] = {};
  std::int32_t expectedTotal = 0;
  for (int k = 0; k < kBooks; ++k) {
    if (gLibrary.listedSkill[k] < 0 || (gLibrary.books[k]->flags & kBookFlag_Read) == 0) continue;
    ++expected[gLibrary.listedSkill[k]];
    ++expectedTotal;
  }
  std::int32_t total = IntCall(kClass, "GetNumSkillBooksRead", {Vm::Bool(true)});
  if (total != expectedTotal) Fail("%d skill books are read; the recount says %d", expectedTotal, total);
  std::int32_t sum = 0;
  for (int s = 0; s < kSkills; ++s) {
    std::int32_t count = IntCall(kClass, "GetNumSkillBooksReadFor", {Vm::String(kSkillNames[s]), Vm::Bool(false)});
    if (count != expected[s]) Fail("%d %s books are read; the count says %d", expected[s], kSkillNames[s], count);
    sum += count;
  }
  if (sum != total) Fail("the per-skill counts add up to %d, the total is %d", sum, total);
}

}  // namespace stress::books
