#include "papyrus/files/TextFileTable.h"

#include "platform/ThreadSlot.h"

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

// The references that keep the files a thread found last alive (one per remembered path),
// given back at the thread's next search in their slot or at its end. Not a thread_local
// object: in the Windows build its destructor would run on the thread's already freed
// thread-local storage.
struct AliveFiles final : platform::ThreadOwned {
  std::shared_ptr<TextFile> files[2];
};

// Made as the plugin loads, on the loading thread, before a script thread can search: a slot
// first made inside a search would reach the other script threads only through the
// compiler's guard of a function's static, an ordering the race detectors of make stress do
// not see, so they would report its first use by each thread. Never destroyed: threads end
// at any time.
platform::ThreadSlot& gAliveFiles = *new platform::ThreadSlot;

// The slot a search for `path` fills: the one already holding this text (kept at this
// address, else remembered), otherwise the one used longer ago.
int SlotFor(const detail::LastFound& last, const char* path) {
  for (int index = 0; index < 2; ++index) {
    if (last.slots[index].kept == path) return index;
  }
  for (int index = 0; index < 2; ++index) {
    if (last.slots[index].path.Matches(path)) return index;
  }
  return last.newest ^ 1;
}

}  // namespace

TextFile* TextFileTable::FindRemembered(detail::LastFound& last, const char* path, std::uint32_t changes) {
  auto valid = [&](const detail::Found& slot) { return slot.table == this && slot.changes == changes; };
  for (int i = 0; i < 2; ++i) {
    int index = last.newest ^ i;
    if (valid(last.slots[index]) && last.slots[index].path.Matches(path)) {
      last.newest = index;
      return last.slots[index].file;
    }
  }
  return SearchForThisThread(last, path, changes);
}

TextFile* TextFileTable::SearchForThisThread(detail::LastFound& last, const char* path, std::uint32_t changes) {
  int index = SlotFor(last, path);
  detail::Found& slot = last.slots[index];
  slot.table = nullptr;
  auto* alive = static_cast<AliveFiles*>(gAliveFiles.Get());
  if (alive == nullptr) {
    alive = new AliveFiles;  // once per thread
    gAliveFiles.Set(alive);
  }
  alive->files[index] = Find(path);
  slot.file = alive->files[index].get();
  last.newest = index;
  if (!slot.path.Remember(path)) return slot.file;  // too long to remember: searched every time
  KeepText keeper = keeper_.load(std::memory_order_acquire);
  if (slot.kept != path || slot.keptBy != keeper) {
    slot.kept = keeper != nullptr && keeper(index, path) ? path : nullptr;
    slot.keptBy = keeper;
  }
  slot.changes = changes;
  slot.table = this;
  return slot.file;  // kept alive until this thread's next search in this slot
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

std::size_t TextFileTable::Count() const {
  std::lock_guard<std::mutex> guard(entriesLock_);
  return entries_.size();
}

TextFileTable& TextFileTable::Instance() {
  // Never destroyed: script threads may still use files while the process ends.
  static TextFileTable* table = new TextFileTable;
  return *table;
}

}  // namespace qx::io
