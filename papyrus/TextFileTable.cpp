#include "papyrus/TextFileTable.h"


namespace qx::io {

std::shared_ptr<TextFile> TextFileTable::Find(std::string_view path) const {
  std::lock_guard<std::mutex> guard(entriesLock_);
  auto found = entries_.find(path);
  return found == entries_.end() ? nullptr : found->second;
}

namespace detail {
constinit thread_local LastFound tLastFound;
}  // namespace detail

namespace {
thread_local std::shared_ptr<TextFile> tLastFoundAlive;
}  // namespace

TextFile* TextFileTable::SearchForThisThread(const char* path, std::uint32_t changes) {
  detail::LastFound& last = detail::tLastFound;
  last.table = nullptr;
  tLastFoundAlive = Find(path);
  last.file = tLastFoundAlive.get();
  if (last.path.Remember(path)) {
    last.changes = changes;
    last.table = this;
  }
  return last.file;  // kept alive until this thread's next search
}

void TextFileTable::Insert(std::string_view path, std::shared_ptr<TextFile> file) {
  std::string key(path);  // allocated outside the short lock
  std::lock_guard<std::mutex> guard(entriesLock_);
  entries_.insert_or_assign(std::move(key), std::move(file));
  changeCount_.fetch_add(1, std::memory_order_release);
}

void TextFileTable::Erase(std::string_view path) {
  std::shared_ptr<TextFile> file;  // destroyed after the short lock is released
  std::lock_guard<std::mutex> guard(entriesLock_);
  auto found = entries_.find(path);
  if (found == entries_.end()) return;
  file = std::move(found->second);
  entries_.erase(found);
  changeCount_.fetch_add(1, std::memory_order_release);
}

TextFileTable& TextFileTable::Instance() {
  // Never destroyed: script threads may still use files while the process ends.
  static TextFileTable* table = new TextFileTable;
  return *table;
}

}  // namespace qx::io
