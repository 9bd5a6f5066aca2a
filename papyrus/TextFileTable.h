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
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "papyrus/TextFile.h"

namespace qx::io {

class TextFileTable {
 public:
  [[nodiscard]] std::unique_lock<std::mutex> ChangeLock() {
    return std::unique_lock<std::mutex>(changes_);
  }

  [[nodiscard]] std::shared_ptr<TextFile> Find(std::string_view path) const;
  // Called with ChangeLock() held.
  void Insert(std::string_view path, std::shared_ptr<TextFile> file);
  void Erase(std::string_view path);

  // The one table of the plugin; it lives until the process ends.
  [[nodiscard]] static TextFileTable& Instance();

 private:
  std::mutex changes_;
  mutable std::mutex entriesLock_;
  std::map<std::string, std::shared_ptr<TextFile>, std::less<>> entries_;
};

}  // namespace qx::io
