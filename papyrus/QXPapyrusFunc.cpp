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

// The readers take the books lock, so that they see a book as it was before or after a
// setter, never its flags of one and its value of the other.
bool IsSkillBook(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return false;
  if (books.IsInSkillBookSet(book->formID)) return true;
  auto lock = books.Lock();
  return (book->flags & kBookFlag_TeachesSkill) && !(book->flags & kBookFlag_TeachesSpell);
}

bool IsSpellBook(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return false;
  if (books.IsInSpellBookSet(book->formID)) return true;
  auto lock = books.Lock();
  return (book->flags & kBookFlag_TeachesSpell) != 0;
}

namespace {

// GetSkill with the books lock held.
std::int32_t SkillLocked(const SkillBooks& books, const TESObjectBOOK& book) {
  if (book.flags & kBookFlag_TeachesSpell) return -1;
  if ((book.flags & kBookFlag_TeachesSkill) || books.StillTeaches(book, SkillBooks::Teaches::kSkill)) {
    return static_cast<std::int32_t>(book.teaches);
  }
  return -1;
}

}  // namespace

std::int32_t GetSkill(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return -1;
  auto lock = books.Lock();
  return SkillLocked(books, *book);
}

bool IsSkill(const SkillBooks& books, const TESObjectBOOK* book, StringCache::Ref skill) {
  if (!Usable(books, book)) return false;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return false;
  auto lock = books.Lock();
  return SkillLocked(books, *book) == static_cast<std::int32_t>(*index);
}

// A book whose flags say it teaches a skill holds an actor value index, never a spell: with
// both flags set the value is not handed out as a spell. Without a flag (read), the value is
// a spell only while it is still the spell the book was known to teach.
SpellItem* GetSpell(const SkillBooks& books, const TESObjectBOOK* book) {
  if (!Usable(books, book)) return nullptr;
  auto lock = books.Lock();
  if (book->flags & kBookFlag_TeachesSkill) return nullptr;
  if ((book->flags & kBookFlag_TeachesSpell) || books.StillTeaches(*book, SkillBooks::Teaches::kSpell)) {
    return reinterpret_cast<SpellItem*>(book->teaches);
  }
  return nullptr;
}

void SetIsRead(SkillBooks& books, TESObjectBOOK* book, bool read) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  if (!read) {
    books.MarkUnread(*book);
    return;
  }
  book->flags |= kBookFlag_Read;
  // Read, the book teaches no more what it is known to teach.
  switch (books.WhatTeaches(*book)) {
    case SkillBooks::Teaches::kSkill:
      book->flags &= ~kBookFlag_TeachesSkill;
      break;
    case SkillBooks::Teaches::kSpell:
      book->flags &= ~kBookFlag_TeachesSpell;
      break;
    case SkillBooks::Teaches::kNothing:
      break;
  }
}

void SetBookSkill(SkillBooks& books, TESObjectBOOK* book, StringCache::Ref skill) {
  if (!Usable(books, book)) return;
  std::optional<std::uint32_t> index = LookupSkill(skill);
  if (!index) return;
  auto lock = books.Lock();
  book->teaches = *index;
  book->flags = (book->flags & ~kBookFlag_TeachesSpell) | kBookFlag_TeachesSkill;
  books.RememberTeaching(*book, SkillBooks::Teaches::kSkill, *index);
}

void SetBookSpell(SkillBooks& books, TESObjectBOOK* book, SpellItem* spell) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  book->teaches = reinterpret_cast<std::uintptr_t>(spell);
  book->flags = (book->flags & ~kBookFlag_TeachesSkill) | kBookFlag_TeachesSpell;
  books.RememberTeaching(*book, SkillBooks::Teaches::kSpell, book->teaches);
}

void RemoveBookSkillSpell(SkillBooks& books, TESObjectBOOK* book) {
  if (!Usable(books, book)) return;
  auto lock = books.Lock();
  book->flags &= ~(kBookFlag_TeachesSkill | kBookFlag_TeachesSpell);
  book->teaches = 0;
  books.RememberTeaching(*book, SkillBooks::Teaches::kNothing, 0);
}

// What scripts call: the functions above on the plugin's lists, with the binding's types
// (int results travel as their 32-bit pattern, so -1 stays -1).
namespace script {
namespace {

using StringCache::Ref;

SkillBooks& Books() { return PluginSkillBooks(); }
std::uint32_t Int(std::int32_t value) { return static_cast<std::uint32_t>(value); }

BGSSoundDescriptorForm* GetBookSoundUp(StaticFunctionTag*, TESObjectBOOK* book) {
  return papyrus_func::GetBookSoundUp(book);
}
BGSSoundDescriptorForm* GetBookSoundDown(StaticFunctionTag*, TESObjectBOOK* book) {
  return papyrus_func::GetBookSoundDown(book);
}
std::uint32_t GetNumSkillBooksReadFor(StaticFunctionTag*, Ref skill, bool recount) {
  return Int(papyrus_func::GetNumSkillBooksReadFor(Books(), skill, recount));
}
std::uint32_t GetNumSkillBooksRead(StaticFunctionTag*, bool recount) {
  return Int(papyrus_func::GetNumSkillBooksRead(Books(), recount));
}
std::uint32_t GetNumSkillBooksFor(StaticFunctionTag*, Ref skill) {
  return Int(papyrus_func::GetNumSkillBooksFor(Books(), skill));
}
std::uint32_t GetNumSkillBooks(StaticFunctionTag*) { return Int(papyrus_func::GetNumSkillBooks(Books())); }
std::uint32_t GetNumSpellBooks(StaticFunctionTag*) { return Int(papyrus_func::GetNumSpellBooks(Books())); }
bool IsSkillBook(StaticFunctionTag*, TESObjectBOOK* book) { return papyrus_func::IsSkillBook(Books(), book); }
bool IsSpellBook(StaticFunctionTag*, TESObjectBOOK* book) { return papyrus_func::IsSpellBook(Books(), book); }
std::uint32_t GetSkill(StaticFunctionTag*, TESObjectBOOK* book) {
  return Int(papyrus_func::GetSkill(Books(), book));
}
bool IsSkill(StaticFunctionTag*, TESObjectBOOK* book, Ref skill) {
  return papyrus_func::IsSkill(Books(), book, skill);
}
SpellItem* GetSpell(StaticFunctionTag*, TESObjectBOOK* book) { return papyrus_func::GetSpell(Books(), book); }
void SetIsRead(StaticFunctionTag*, TESObjectBOOK* book, bool read) {
  papyrus_func::SetIsRead(Books(), book, read);
}
void SetBookSkill(StaticFunctionTag*, TESObjectBOOK* book, Ref skill) {
  papyrus_func::SetBookSkill(Books(), book, skill);
}
void SetBookSpell(StaticFunctionTag*, TESObjectBOOK* book, SpellItem* spell) {
  papyrus_func::SetBookSpell(Books(), book, spell);
}
void RemoveBookSkillSpell(StaticFunctionTag*, TESObjectBOOK* book) {
  papyrus_func::RemoveBookSkillSpell(Books(), book);
}

using papyrus::DefineNative;

const papyrus::NativeFunctionDef kFunctions[] = {
    DefineNative("GetBookSoundUp", &GetBookSoundUp),
    DefineNative("GetBookSoundDown", &GetBookSoundDown),
    DefineNative("GetNumSkillBooksReadFor", &GetNumSkillBooksReadFor),
    DefineNative("GetNumSkillBooksRead", &GetNumSkillBooksRead),
    DefineNative("GetNumSkillBooksFor", &GetNumSkillBooksFor),
    DefineNative("GetNumSkillBooks", &GetNumSkillBooks),
    DefineNative("GetNumSpellBooks", &GetNumSpellBooks),
    DefineNative("IsSkillBook", &IsSkillBook),
    DefineNative("IsSpellBook", &IsSpellBook),
    DefineNative("GetSkill", &GetSkill),
    DefineNative("IsSkill", &IsSkill),
    DefineNative("GetSpell", &GetSpell),
    DefineNative("SetIsRead", &SetIsRead),
    DefineNative("SetBookSkill", &SetBookSkill),
    DefineNative("SetBookSpell", &SetBookSpell),
    DefineNative("RemoveBookSkillSpell", &RemoveBookSkillSpell),
};

const papyrus::NativeClassDef kClass{"QXPapyrusFunc", kFunctions};

}  // namespace
}  // namespace script

const papyrus::NativeClassDef& QXPapyrusFuncClass() { return script::kClass; }

bool RegisterQXPapyrusFunc(ScriptRegistry* registry) {
  return papyrus::RegisterNativeClass(registry, script::kClass);
}

}  // namespace qx::papyrus_func
