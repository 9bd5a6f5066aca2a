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

namespace detail {
// What a thread found last. Only plain data, so that the check on every call touches no
// thread-local object that needs construction or destruction; the reference that keeps the
// file alive sits apart (in the source) and is touched only by a search.
struct LastFound {
  const TextFileTable* table = nullptr;
  std::uint32_t changes = 0;
  TextFile* file = nullptr;
  RememberedPath path;
};
extern constinit thread_local LastFound tLastFound;
}  // namespace detail

class TextFileTable {
 public:
  [[nodiscard]] std::unique_lock<std::mutex> ChangeLock() {
    return std::unique_lock<std::mutex>(changes_);
  }

  [[nodiscard]] std::shared_ptr<TextFile> Find(std::string_view path) const;
  // The same answer, remembered per thread: a thread that asks again for the path it asked
  // for last, while no file was opened or closed meanwhile, gets it without a search, a
  // lock or a reference count (scripts read and write a file one line per call). The file
  // stays alive until the thread asks for another path or a file is opened or closed.
  // `path` is zero-terminated text (null counts as "").
  [[nodiscard]] TextFile* FindForThisThread(const char* path) {
    if (path == nullptr) path = "";
    detail::LastFound& last = detail::tLastFound;
    // Read before searching: a change during the search makes the next call search again.
    std::uint32_t changes = changeCount_.load(std::memory_order_acquire);
    if (last.table == this && last.changes == changes && last.path.Matches(path)) return last.file;
    return SearchForThisThread(path, changes);
  }
  // Called with ChangeLock() held.
  void Insert(std::string_view path, std::shared_ptr<TextFile> file);
  void Erase(std::string_view path);

  // The one table of the plugin; it lives until the process ends.
  [[nodiscard]] static TextFileTable& Instance();

 private:
  TextFile* SearchForThisThread(const char* path, std::uint32_t changes);

  std::mutex changes_;
  mutable std::mutex entriesLock_;
  std::atomic<std::uint32_t> changeCount_{0};  // bumped by every Insert and Erase (wraps after 2^32)
  std::map<std::string, std::shared_ptr<TextFile>, std::less<>> entries_;
};

}  // namespace qx::io
