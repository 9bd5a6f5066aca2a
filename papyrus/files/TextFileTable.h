#pragma once
// The files scripts have open, by the path text exactly as the script passed it (byte for
// byte, letter case significant: two texts naming one file are two entries).
//
// Two locks: opening, closing and deleting hold ChangeLock() for their whole length, so they
// happen one after another and a file is written out completely before its path can be
// opened again; the entries themselves are guarded by a short inner lock, so reading and
// writing lines of one file never waits for another file's disk access. A file found here
// stays alive while a caller uses it, even if another thread closes it meanwhile (it is then
// no longer good).
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "papyrus/files/PathMatch.h"
#include "papyrus/files/TextFile.h"

namespace qx::io {

class TextFileTable;

// Keeps a script's text alive, unchanged at its address, for the calling thread: makes the
// thread's kept text number `slot` (0 or 1) be `text`, letting go of the one it kept there
// before. True when the text at this very address is kept from now on (a text the keeper
// cannot keep, such as one outside the game's string cache, gives false). Cheap enough to
// call once per search, not per line.
using KeepText = bool (*)(int slot, const char* text) noexcept;

namespace detail {
// What a thread found for one path. Only plain data, so that the check on every call touches
// no thread-local object that needs construction or destruction; the reference that keeps
// the file alive sits apart (in the source) and is touched only by a search.
struct Found {
  const TextFileTable* table = nullptr;  // null: nothing valid here
  std::uint32_t changes = 0;
  TextFile* file = nullptr;
  // The script's text at the address the keeper keeps for this thread, or null: a caller
  // passing this address passes this text, and no byte of it needs comparing.
  const char* kept = nullptr;
  KeepText keptBy = nullptr;
  RememberedPath path;
};
// A thread's last two paths, so that a script alternating between two files (reading one
// and writing another) is not searched for on every call.
struct LastFound {
  Found slots[2];
  int newest = 0;
};
extern constinit thread_local LastFound tLastFound;
}  // namespace detail

class TextFileTable {
 public:
  [[nodiscard]] std::unique_lock<std::mutex> ChangeLock() {
    return std::unique_lock<std::mutex>(changes_);
  }

  [[nodiscard]] std::shared_ptr<TextFile> Find(std::string_view path) const;
  // The same answer, remembered per thread: a thread that asks again for one of the two
  // paths it asked for last, while no file was opened or closed meanwhile, gets it without a
  // search, a lock or a reference count (scripts read and write a file one line per call).
  // The file stays alive until the thread's search for a third path or until a file is
  // opened or closed. `path` is zero-terminated text (null counts as "").
  [[nodiscard]] TextFile* FindForThisThread(const char* path) {
    if (path == nullptr) path = "";
    detail::LastFound& last = detail::tLastFound;  // one look-up: emulated in the Windows build
    // Read before searching: a change during the search makes the next call search again.
    std::uint32_t changes = changeCount_.load(std::memory_order_acquire);
    const int newest = last.newest;
    const detail::Found& first = last.slots[newest];
    if (first.kept == path && first.table == this && first.changes == changes) return first.file;
    // A script alternating between two files finds the other one here, still inline.
    const detail::Found& second = last.slots[newest ^ 1];
    if (second.kept == path && second.table == this && second.changes == changes) {
      last.newest = newest ^ 1;
      return second.file;
    }
    return FindRemembered(last, path, changes);
  }
  // The keeper of script texts this table uses from now on (null: none, every call compares
  // the text). Every thread searches again, so no text counts as kept by another keeper.
  void KeepTextsWith(KeepText keeper) noexcept {
    keeper_.store(keeper, std::memory_order_release);
    changeCount_.fetch_add(1, std::memory_order_release);
  }

  // Called with ChangeLock() held.
  void Insert(std::string_view path, std::shared_ptr<TextFile> file);
  void Erase(std::string_view path);
  [[nodiscard]] std::size_t Count() const;
  // Calls `visit(path, file)` for every open file, unless another thread holds the entries
  // (as the process ends, one may have ended holding them): false then.
  template <typename Visit>
  [[nodiscard]] bool ForEachUnlessHeld(Visit&& visit) {
    std::unique_lock<std::mutex> guard(entriesLock_, std::try_to_lock);
    if (!guard) return false;
    for (const auto& [path, file] : entries_) visit(std::string_view(path), *file);
    return true;
  }

  // The one table of the plugin; it lives until the process ends.
  [[nodiscard]] static TextFileTable& Instance();

 private:
  // The rest of FindForThisThread, out of line: both paths by their text, then a search.
  TextFile* FindRemembered(detail::LastFound& last, const char* path, std::uint32_t changes);
  TextFile* SearchForThisThread(detail::LastFound& last, const char* path, std::uint32_t changes);

  std::mutex changes_;
  mutable std::mutex entriesLock_;
  std::atomic<KeepText> keeper_{nullptr};
  // Bumped by every Insert, Erase and change of keeper (wraps after 2^32).
  std::atomic<std::uint32_t> changeCount_{0};
  std::map<std::string, std::shared_ptr<TextFile>, std::less<>> entries_;
};

}  // namespace qx::io
