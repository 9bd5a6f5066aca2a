#include "papyrus/books/SkillBooks.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>

#include "common/IDebugLog.h"
#include "settings/ProjectIni.h"
#include "skse/GameGlobals.h"

namespace qx {

void SkillBooks::Install(const ProjectIni& settings) {
  settings_ = &settings;
  total_ = 0;
  polling_ = false;
  for (auto& count : counts_) count = 0;
}

void SkillBooks::BuildLists(const game::DataHandler* dataHandler) {
  if (settings_ == nullptr) {
    LogMessage("QX Papyrus Func: no INI file was found");
    return;
  }
  if (dataHandler == nullptr) {
    LogMessage("QX Papyrus Func: could not retrieve data handler");
    return;
  }
  // The game sends data-loaded once, but another plugin may send it again: the lists stay
  // as first built and the polling thread is started once.
  if (built_) {
    LogMessage("QX Papyrus Func: skill book lists already built; keeping them");
    return;
  }
  built_ = true;
  // Room for every book up front: the sets grow once, not as they fill.
  skillBookIds_.reserve(dataHandler->Books().size());
  spellBookIds_.reserve(dataHandler->Books().size());
  auto lock = Lock();
  bool remembers = true;  // false once memory ran out: no teaching is then remembered at all
  try {
    teachings_.reserve(dataHandler->Books().size());
  } catch (const std::exception&) {
    remembers = false;
  }
  bool increasing = true;  // form IDs so far each above the one before: sorted, none twice
  auto learn = [&](const game::TESObjectBOOK& book, Teaches kind) {
    if (!remembers) return;
    increasing = increasing && (teachings_.empty() || teachings_.back().formID < book.formID);
    teachings_.push_back({book.formID, kind, book.teaches});  // within the reserve
  };
  const bool stripSkillGain = settings_->bookDisableSkillGain;
  for (game::TESObjectBOOK* book : dataHandler->Books()) {
    if (book == nullptr) continue;
    if (book->flags & game::kBookFlag_TeachesSpell) {
      spellBookIds_.insert(book->formID);
      learn(*book, Teaches::kSpell);
      continue;
    }
    if (!(book->flags & game::kBookFlag_TeachesSkill)) continue;
    if (book->teaches < kSkillLists) {
      lists_[book->teaches].push_back(book);
    } else {
      // Still a skill book; it only has no list to be counted in.
      LogMessage("QX Papyrus Func: skill book %08X teaches actor value index %u, which has no skill list; not counted",
                 book->formID, static_cast<unsigned>(book->teaches));
      unlisted_.push_back(book);
      learn(*book, Teaches::kSkill);
    }
    skillBookIds_.insert(book->formID);
    if (stripSkillGain) book->flags &= ~game::kBookFlag_TeachesSkill;
  }
  if (!increasing) {
    std::stable_sort(teachings_.begin(), teachings_.end(),
                     [](const BookTeaching& a, const BookTeaching& b) { return a.formID < b.formID; });
    // A form ID listed twice keeps its last entry, as the game's own later record wins.
    auto last = std::unique(teachings_.rbegin(), teachings_.rend(),
                            [](const BookTeaching& a, const BookTeaching& b) { return a.formID == b.formID; });
    teachings_.erase(teachings_.begin(), last.base());
  }
  lock.unlock();

  if (settings_->bookDumpSkills) {
    for (std::uint32_t skill = 0; skill < kSkillLists; ++skill) {
      if (lists_[skill].empty()) continue;
      LogMessage("QX Papyrus Func: registered the following skill books for AV index %d",
                 static_cast<int>(skill));
      for (const game::TESObjectBOOK* book : lists_[skill]) {
        if (book == nullptr) continue;
        const char* name = book->DisplayName();
        (LogLine() << ">>> " << std::string_view(name != nullptr ? name : "")).Write();
      }
    }
  }

  if (settings_->bookSkillReadPollingTimeMillis > 0) {
    StartPolling(settings_->bookSkillReadPollingTimeMillis);
  }
}

void SkillBooks::StartPolling(std::int32_t intervalMillis) {
  polling_ = true;
  auto interval = std::chrono::milliseconds(intervalMillis);
  try {
    std::thread([this, interval] {
      while (polling_.load()) {
        std::this_thread::sleep_for(interval);
        RecountAll();
      }
    }).detach();
  } catch (const std::system_error& error) {
    polling_ = false;
    LogMessage("QX Papyrus Func: could not start the skill read polling thread (%s); counts refresh only on request",
               error.what());
  }
}

template <typename Fn>
void SkillBooks::ForEachListedBook(Fn fn) {
  for (auto& list : lists_) {
    for (game::TESObjectBOOK* book : list) {
      if (book != nullptr) fn(*book);
    }
  }
  for (game::TESObjectBOOK* book : unlisted_) fn(*book);
}

void SkillBooks::AfterGameLoad() {
  if (settings_ == nullptr) return;
  auto lock = Lock();
  if (settings_->bookDisableSkillGain) {
    ForEachListedBook([](game::TESObjectBOOK& book) { book.flags &= ~game::kBookFlag_TeachesSkill; });
  }
  if (settings_->bookClearAllReadSkills) {
    for (auto& count : counts_) count = 0;
    ForEachListedBook([this](game::TESObjectBOOK& book) { MarkUnread(book); });
    LogMessage("QX Papyrus Func: cleared read flags for all skill books");
    return;
  }
  LogMessage("QX Papyrus Func: updating list of read skill books");
  lock.unlock();
  RecountAll();
}

namespace {

// The entry of `formID` in entries sorted by form ID, or where it would go.
template <typename Entries>
auto LowerBound(Entries& entries, game::FormID formID) {
  return std::lower_bound(entries.begin(), entries.end(), formID,
                          [](const auto& entry, game::FormID id) { return entry.formID < id; });
}

}  // namespace

std::vector<SkillBooks::BookTeaching>::const_iterator SkillBooks::FindTeaching(game::FormID formID) const {
  auto found = LowerBound(teachings_, formID);
  return found != teachings_.end() && found->formID == formID ? found : teachings_.end();
}

SkillBooks::Teaches SkillBooks::WhatTeaches(const game::TESObjectBOOK& book) const {
  auto found = FindTeaching(book.formID);
  if (found != teachings_.end()) return found->kind;
  if (IsInSkillBookSet(book.formID)) return Teaches::kSkill;
  return IsInSpellBookSet(book.formID) ? Teaches::kSpell : Teaches::kNothing;
}

bool SkillBooks::StillTeaches(const game::TESObjectBOOK& book, Teaches kind) const {
  auto found = FindTeaching(book.formID);
  if (found != teachings_.end()) return found->kind == kind && found->value == book.teaches;
  // A listed skill book as at data load: still in the list of the skill its value names.
  if (kind != Teaches::kSkill || book.teaches >= kSkillLists) return false;
  const auto& list = lists_[book.teaches];
  return std::find(list.begin(), list.end(), &book) != list.end();
}

void SkillBooks::RememberTeaching(const game::TESObjectBOOK& book, Teaches kind, std::uintptr_t value) noexcept {
  auto at = LowerBound(teachings_, book.formID);
  if (at != teachings_.end() && at->formID == book.formID) {
    *at = {book.formID, kind, value};
    return;
  }
  try {
    teachings_.insert(at, BookTeaching{book.formID, kind, value});
  } catch (const std::exception&) {
    // Memory exhausted: the book keeps no entry, and a value no entry vouches for is given
    // no flag back (a listed skill book's new value names no list it is in).
  }
}

void SkillBooks::MarkUnread(game::TESObjectBOOK& book) const {
  book.flags &= ~game::kBookFlag_Read;
  if (book.flags & (game::kBookFlag_TeachesSkill | game::kBookFlag_TeachesSpell)) return;
  if (StillTeaches(book, Teaches::kSkill)) {
    book.flags |= game::kBookFlag_TeachesSkill;
  } else if (StillTeaches(book, Teaches::kSpell)) {
    book.flags |= game::kBookFlag_TeachesSpell;
  }
}

std::span<game::TESObjectBOOK* const> SkillBooks::BooksFor(std::uint32_t skill) const {
  if (skill >= kSkillLists) return {};
  return lists_[skill];
}

bool SkillBooks::IsInSkillBookSet(game::FormID formID) const { return skillBookIds_.count(formID) != 0; }

bool SkillBooks::IsInSpellBookSet(game::FormID formID) const { return spellBookIds_.count(formID) != 0; }

std::uint32_t SkillBooks::ReadCount(std::uint32_t skill) const {
  return skill < kSkillLists ? counts_[skill].load() : 0;
}

std::uint32_t SkillBooks::CountRead(std::uint32_t skill) {
  std::uint32_t read = 0;
  for (const game::TESObjectBOOK* book : lists_[skill]) {
    if (book != nullptr && (book->flags & game::kBookFlag_Read)) ++read;
  }
  counts_[skill] = read;
  return read;
}

std::uint32_t SkillBooks::RecountSkill(std::uint32_t skill) {
  if (skill >= kSkillLists) return 0;
  auto lock = Lock();
  std::uint32_t old = counts_[skill].load();
  std::uint32_t now = CountRead(skill);
  total_ = total_.load() - old + now;
  return now;
}

std::uint32_t SkillBooks::RecountAll() {
  auto lock = Lock();
  std::uint32_t sum = 0;
  for (std::uint32_t skill = 0; skill < kSkillLists; ++skill) {
    sum += CountRead(skill);
    total_ = sum;
  }
  return sum;
}

SkillBooks& PluginSkillBooks() {
  static auto* books = new SkillBooks();  // the polling thread may outlive every static
  return *books;
}

void InstallBookFunctions(const ProjectIni& settings) { PluginSkillBooks().Install(settings); }

void BuildSkillBookLists() {
  PluginSkillBooks().BuildLists(host::Global<const game::DataHandler*>(game::kDataHandlerSingleton));
}

void RefreshBooksAfterGameLoad() { PluginSkillBooks().AfterGameLoad(); }

}  // namespace qx
