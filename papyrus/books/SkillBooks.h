#pragma once
// Skill books by skill: built once the game's data is loaded, with the form IDs of every
// skill book and spell book as they were then, and per-skill counts of read books that
// scripts and an optional polling thread refresh.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "common/OpenAddressTable.h"
#include "skse/GameBooks.h"
#include "skse/GameDataHandler.h"

namespace qx {

class ProjectIni;

class SkillBooks {
 public:
  static constexpr std::uint32_t kSkillLists = 255;  // actor value indices 0..254

  // At load, after the settings were read: no counts, no polling yet.
  void Install(const ProjectIni& settings);
  // Null while the settings could not be read; every script function is then neutral.
  [[nodiscard]] const ProjectIni* Settings() const { return settings_; }

  // Once the game's data is loaded: sorts the data handler's books into the lists and sets,
  // dumps the lists when asked and starts the polling thread when an interval is set.
  void BuildLists(const game::DataHandler* dataHandler);
  // After each game load: strips skill gain, or clears read flags, or recounts.
  void AfterGameLoad();

  [[nodiscard]] std::span<game::TESObjectBOOK* const> BooksFor(std::uint32_t skill) const;
  [[nodiscard]] bool IsInSkillBookSet(game::FormID formID) const;
  [[nodiscard]] bool IsInSpellBookSet(game::FormID formID) const;
  [[nodiscard]] std::size_t SkillBookCount() const { return skillBookIds_.size(); }
  [[nodiscard]] std::size_t SpellBookCount() const { return spellBookIds_.size(); }

  [[nodiscard]] std::uint32_t ReadCount(std::uint32_t skill) const;
  [[nodiscard]] std::uint32_t TotalReadCount() const { return total_.load(); }
  // Recounts one skill and moves the total by the change; returns the skill's new count.
  std::uint32_t RecountSkill(std::uint32_t skill);
  // Recounts every skill; the total becomes their sum. Returns it.
  std::uint32_t RecountAll();

  [[nodiscard]] bool PollingStarted() const { return polling_.load(); }

  // What a book teaches, as far as QXKit knows: what a setter last made it teach, else what
  // it taught at data load. Its value at 0x98 belongs to that kind only while it is still
  // the value that put it there. Call these with the lock held.
  enum class Teaches : std::uint8_t { kNothing, kSkill, kSpell };
  [[nodiscard]] Teaches WhatTeaches(const game::TESObjectBOOK& book) const;
  // Whether the book teaches `kind` and its value is still the one that kind was given.
  [[nodiscard]] bool StillTeaches(const game::TESObjectBOOK& book, Teaches kind) const;
  // A setter made the book teach `kind` with `value` (kNothing: took its teaching away).
  void RememberTeaching(const game::TESObjectBOOK& book, Teaches kind, std::uintptr_t value) noexcept;

  // Clears the read flag and gives back the flag of what the book teaches, unless it
  // teaches something now or its value is no longer that teaching's: a book teaches one
  // thing at a time. Call with the lock held.
  void MarkUnread(game::TESObjectBOOK& book) const;

  // Held while book flags are changed or counted, so that scripts and the polling thread
  // see and make whole changes.
  [[nodiscard]] std::unique_lock<std::mutex> Lock() const { return std::unique_lock(mutex_); }

 private:
  void StartPolling(std::int32_t intervalMillis);
  std::uint32_t CountRead(std::uint32_t skill);
  // Every book of the lists, and the skill books that fit no list.
  template <typename Fn>
  void ForEachListedBook(Fn fn);

  const ProjectIni* settings_ = nullptr;
  std::array<std::vector<game::TESObjectBOOK*>, kSkillLists> lists_;
  std::vector<game::TESObjectBOOK*> unlisted_;  // teach an actor value of 255 or more
  // Built once, then only read: a lookup is one hash and a short probe.
  OpenAddressSet<game::FormID> skillBookIds_;
  OpenAddressSet<game::FormID> spellBookIds_;
  // What a skill book taught at data load needs no entry: it sits in the list of the skill
  // its value named. Entries, by form ID and sorted, hold the spell books' spells as they
  // were at data load (the game's list is mostly in form order already), the skill books
  // without a list, and every setter's word since. Under the lock.
  struct BookTeaching {
    game::FormID formID;
    Teaches kind;
    std::uintptr_t value;
  };
  std::vector<BookTeaching> teachings_;
  [[nodiscard]] std::vector<BookTeaching>::const_iterator FindTeaching(game::FormID formID) const;
  std::array<std::atomic<std::uint32_t>, kSkillLists> counts_{};
  std::atomic<std::uint32_t> total_{0};
  std::atomic<bool> polling_{false};
  bool built_ = false;  // only the data-loaded step reads and writes it
  mutable std::mutex mutex_;
};

// The plugin's one instance.
[[nodiscard]] SkillBooks& PluginSkillBooks();

// Load's book set-up after a successful settings read.
void InstallBookFunctions(const ProjectIni& settings);
// The data-loaded step, on the game's data handler.
void BuildSkillBookLists();
// The post-load-game step.
void RefreshBooksAfterGameLoad();

}  // namespace qx
