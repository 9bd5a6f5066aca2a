#include "papyrus/TextFileTable.h"

namespace qx::io {

std::shared_ptr<TextFile> TextFileTable::Find(std::string_view path) const {
  std::lock_guard<std::mutex> guard(entriesLock_);
  auto found = entries_.find(path);
  return found == entries_.end() ? nullptr : found->second;
}

void TextFileTable::Insert(std::string_view path, std::shared_ptr<TextFile> file) {
  std::string key(path);  // allocated outside the short lock
  std::lock_guard<std::mutex> guard(entriesLock_);
  entries_.insert_or_assign(std::move(key), std::move(file));
}

void TextFileTable::Erase(std::string_view path) {
  std::shared_ptr<TextFile> file;  // destroyed after the short lock is released
  std::lock_guard<std::mutex> guard(entriesLock_);
  auto found = entries_.find(path);
  if (found == entries_.end()) return;
  file = std::move(found->second);
  entries_.erase(found);
}

TextFileTable& TextFileTable::Instance() {
  // Never destroyed: script threads may still use files while the process ends.
  static TextFileTable* table = new TextFileTable;
  return *table;
}

}  // namespace qx::io
