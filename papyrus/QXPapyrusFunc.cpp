#include "papyrus/QXPapyrusFunc.h"

#include <optional>

#include "skse/GameActorValues.h"

namespace qx::papyrus_func {
namespace {

using game::kBookFlag_Read;
using game::kBookFlag_TeachesSkill;
using game::kBookFlag_TeachesSpell;

// The actor value a name stands for, or none (also for a missing name).
std::optional<std::uint32_t> LookupSkill(StringCache::Ref name) {
  if (name.c_str() == nullptr) return std::nullopt;
  std::uint32_t index = game::LookupActorValueByName(name.c_str());
  if (index >= game::kActorValueCount) return std::nullopt;
  return index;
}

bool Usable(const SkillBooks& books, const TESObjectBOOK* book) {
  return books.Settings() != nullptr && book != nullptr;
}

}  // namespace

BGSSoundDescriptorForm* GetBookSoundUp(const TESObjectBOOK* book) {
  return book != nullptr ? book->soundUp : nullptr;
}

BGSSoundDescriptorForm* GetBookSoundDown(const TESObjectBOOK* book) {
  return book != nullptr ? book->soundDown : nullptr;
}

std::int32_t GetNumSkillBooksReadFor(SkillBooks& books, StringCache::Ref skill, bool recount) {
  if (books.Settings() == nullptr) return 0;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return 0;
  if (recount) books.RecountSkill(*index);
  return static_cast<std::int32_t>(books.ReadCount(*index));
}

std::int32_t GetNumSkillBooksRead(SkillBooks& books, bool recount) {
  if (books.Settings() == nullptr) return 0;
  if (recount) books.RecountAll();
  return static_cast<std::int32_t>(books.TotalReadCount());
}

std::int32_t GetNumSkillBooksFor(const SkillBooks& books, StringCache::Ref skill) {
  if (books.Settings() == nullptr) return 0;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return 0;
  return static_cast<std::int32_t>(books.BooksFor(*index).size());
}

std::int32_t GetNumSkillBooks(const SkillBooks& books) {
  if (books.Settings() == nullptr) return 0;
  return static_cast<std::int32_t>(books.SkillBookCount());
}

std::int32_t GetNumSpellBooks(const SkillBooks& books) {
  if (books.Settings() == nullptr) return 0;
  return static_cast<std::int32_t>(books.SpellBookCount());
}

bool IsSkillBook(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return false;
  if (books.IsInSkillBookSet(book->formID)) return true;
  return (book->flags & kBookFlag_TeachesSkill) && !(book->flags & kBookFlag_TeachesSpell);
}

bool IsSpellBook(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return false;
  return books.IsInSpellBookSet(book->formID) || (book->flags & kBookFlag_TeachesSpell);
}

std::int32_t GetSkill(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book) || (book->flags & kBookFlag_TeachesSpell)) return -1;
  if ((book->flags & kBookFlag_TeachesSkill) || books.IsInSkillBookSet(book->formID)) {
    return static_cast<std::int32_t>(book->teaches);
  }
  return -1;
}

bool IsSkill(const SkillBooks& books, const TESObjectBOOK* book, StringCache::Ref skill) {
  if (!Usable(books, book)) return false;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return false;
  return GetSkill(books, book) == static_cast<std::int32_t>(*index);
}

SpellItem* GetSpell(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return nullptr;
  if ((book->flags & kBookFlag_TeachesSpell) ||
      (books.IsInSpellBookSet(book->formID) && !(book->flags & kBookFlag_TeachesSkill))) {
    return reinterpret_cast<SpellItem*>(book->teaches);
  }
  return nullptr;
}

void SetIsRead(SkillBooks& books, TESObjectBOOK* book, bool read) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  bool skillBook = books.IsInSkillBookSet(book->formID);
  bool spellBook = !skillBook && books.IsInSpellBookSet(book->formID);
  if (read) {
    book->flags |= kBookFlag_Read;
    if (skillBook) book->flags &= ~kBookFlag_TeachesSkill;
    if (spellBook) book->flags &= ~kBookFlag_TeachesSpell;
  } else {
    book->flags &= ~kBookFlag_Read;
    if (skillBook) book->flags |= kBookFlag_TeachesSkill;
    if (spellBook) book->flags |= kBookFlag_TeachesSpell;
  }
}

void SetBookSkill(SkillBooks& books, TESObjectBOOK* book, StringCache::Ref skill) {
  if (!Usable(books, book)) return;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return;
  auto lock = books.Lock();
  book->teaches = *index;
  book->flags = (book->flags & ~kBookFlag_TeachesSpell) | kBookFlag_TeachesSkill;
}

void SetBookSpell(SkillBooks& books, TESObjectBOOK* book, SpellItem* spell) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  book->teaches = reinterpret_cast<std::uintptr_t>(spell);
  book->flags = (book->flags & ~kBookFlag_TeachesSkill) | kBookFlag_TeachesSpell;
}

void RemoveBookSkillSpell(SkillBooks& books, TESObjectBOOK* book) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  book->flags &= ~(kBookFlag_TeachesSkill | kBookFlag_TeachesSpell);
  book->teaches = 0;
}

}  // namespace qx::papyrus_func
