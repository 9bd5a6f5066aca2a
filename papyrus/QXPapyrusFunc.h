#pragma once
// The book functions of the script class QXPapyrusFunc. Each works on the plugin's skill-book
// lists and on the game's book objects; while the settings could not be read (the lists'
// settings are null) each gives its neutral result: 0, false, none, -1 for GetSkill, and the
// setters do nothing. A null book gives the same.
#include <cstdint>

#include "papyrus/books/SkillBooks.h"
#include "skse/GameBooks.h"
#include "skse/GameStrings.h"
#include "skse/NativeFunction.h"

namespace qx::papyrus_func {

using game::BGSSoundDescriptorForm;
using game::SpellItem;
using game::TESObjectBOOK;

// The book's sounds; these two answer also without settings.
[[nodiscard]] BGSSoundDescriptorForm* GetBookSoundUp(const TESObjectBOOK* book);
[[nodiscard]] BGSSoundDescriptorForm* GetBookSoundDown(const TESObjectBOOK* book);

// Read skill books of one skill (by actor value name) or of all; recount first on request.
[[nodiscard]] std::int32_t GetNumSkillBooksReadFor(SkillBooks& books, StringCache::Ref skill, bool recount);
[[nodiscard]] std::int32_t GetNumSkillBooksRead(SkillBooks& books, bool recount);
[[nodiscard]] std::int32_t GetNumSkillBooksFor(const SkillBooks& books, StringCache::Ref skill);
[[nodiscard]] std::int32_t GetNumSkillBooks(const SkillBooks& books);
[[nodiscard]] std::int32_t GetNumSpellBooks(const SkillBooks& books);

// What a book teaches: its flags now, or what it taught when the data was loaded.
[[nodiscard]] bool IsSkillBook(const SkillBooks& books, const TESObjectBOOK* book);
[[nodiscard]] bool IsSpellBook(const SkillBooks& books, const TESObjectBOOK* book);
[[nodiscard]] std::int32_t GetSkill(const SkillBooks& books, const TESObjectBOOK* book);
[[nodiscard]] bool IsSkill(const SkillBooks& books, const TESObjectBOOK* book, StringCache::Ref skill);
[[nodiscard]] SpellItem* GetSpell(const SkillBooks& books, const TESObjectBOOK* book);

// Change the book object only; lists, sets and counts stay as they are.
void SetIsRead(SkillBooks& books, TESObjectBOOK* book, bool read);
void SetBookSkill(SkillBooks& books, TESObjectBOOK* book, StringCache::Ref skill);
void SetBookSpell(SkillBooks& books, TESObjectBOOK* book, SpellItem* spell);
void RemoveBookSkillSpell(SkillBooks& books, TESObjectBOOK* book);

// The script class: each function is the one above on the plugin's skill-book lists.
[[nodiscard]] const papyrus::NativeClassDef& QXPapyrusFuncClass();
// The Papyrus registration callback.
bool RegisterQXPapyrusFunc(ScriptRegistry* registry);

}  // namespace qx::papyrus_func
