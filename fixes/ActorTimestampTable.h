#pragma once
// Actor -> timestamp, as the health-gating tables keep them: open addressing with linear
// probing over a power-of-two array of slots, so that the hit path finds, sets and removes
// entries without touching the heap. The array only grows (doubling when half full, an
// amortised allocation when a fight brings new actors) and is never given back: removals
// and Clear keep it, so a steady fight allocates nothing. Removal shifts the entries after
// it back (no tombstones), so a run of occupied slots always ends at an empty one.
//
// The member names follow the standard containers this table stands in for. Not thread
// safe: the gating lock guards every use.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "skse/GameActor.h"

namespace qx {

using Timestamp = std::int64_t;

class ActorTimestampTable {
 public:
  using Key = const game::Actor*;

  // Room for `expected` actors before the first growth.
  explicit ActorTimestampTable(std::size_t expected = 64);

  [[nodiscard]] Timestamp* find(Key key) noexcept;
  [[nodiscard]] std::size_t count(Key key) noexcept { return find(key) != nullptr ? 1 : 0; }
  // The entry, inserted with `value` when missing; .second tells whether it was inserted.
  // May grow the array; when memory for that is exhausted the entry still goes in while a
  // slot besides the last empty one is free, and otherwise nothing is inserted:
  // {nullptr, false}. Never throws: hit paths call it.
  std::pair<Timestamp*, bool> try_emplace(Key key, Timestamp value) noexcept;
  // As try_emplace with 0; std::bad_alloc when nothing could be inserted.
  Timestamp& operator[](Key key);
  // Whether an entry was removed.
  bool erase(Key key) noexcept;
  void clear() noexcept;
  [[nodiscard]] std::size_t size() const noexcept { return size_; }
  [[nodiscard]] bool empty() const noexcept { return size_ == 0; }

  // ---- walking the slots (the cleanup pass) ------------------------------------------
  [[nodiscard]] std::size_t SlotCount() const noexcept { return mask_ + 1; }
  [[nodiscard]] bool SlotIsEmpty(std::size_t slot) const noexcept { return slots_[slot].key == nullptr; }
  [[nodiscard]] Key SlotKey(std::size_t slot) const noexcept { return slots_[slot].key; }
  [[nodiscard]] Timestamp SlotValue(std::size_t slot) const noexcept { return slots_[slot].value; }
  // The first empty slot at or after `slot` (cyclically); the array is never full.
  [[nodiscard]] std::size_t EmptySlotFrom(std::size_t slot) const noexcept;

 private:
  struct Slot {
    Key key = nullptr;  // null: empty; a null actor is kept apart (nullValue_)
    Timestamp value = 0;
  };

  [[nodiscard]] std::size_t Home(Key key) const noexcept;
  [[nodiscard]] bool Grow() noexcept;  // false: memory exhausted, nothing changed
  void RemoveAt(std::size_t slot) noexcept;

  std::unique_ptr<Slot[]> slots_;
  std::size_t mask_ = 0;
  unsigned shift_ = 0;  // 32 - log2(slot count): Home keeps the hash's top bits
  std::size_t size_ = 0;
  bool hasNull_ = false;
  Timestamp nullValue_ = 0;
};

}  // namespace qx
