#pragma once
// A hash table of small keys: open addressing with linear probing over a power-of-two array
// of slots, hashed by multiplying (Fibonacci hashing keeps the product's top bits). The
// default key (a null pointer, form ID 0) marks an empty slot, so that key is kept apart
// beside the array.
//
// Finding, setting and removing never touch the heap, and never throw: hook paths use the
// table. The array grows (doubling when half full, so a new key costs an amortised
// allocation) and is never given back: erase and clear keep it, so a table in steady use
// allocates nothing. Removal shifts the entries after it back (no tombstones), so a run of
// occupied slots always ends at an empty one, and a walk over the slots (SlotCount and the
// Slot... functions) sees every entry once.
//
// With NoValue as its value type the table is a set (OpenAddressSet), whose slots hold the
// key alone. The member names follow the standard containers. Not thread safe.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace qx {

struct NoValue {};

template <typename Key, typename Value>
class OpenAddressTable {
  static_assert(std::is_pointer_v<Key> || (std::is_unsigned_v<Key> && sizeof(Key) <= sizeof(std::uint32_t)),
                "keys are pointers or unsigned integers of 32 bits at most");
  static_assert(std::is_trivially_copyable_v<Value>, "slots are copied as they shift");

 public:
  // Room for `expected` keys before the first growth. std::bad_alloc without the memory.
  explicit OpenAddressTable(std::size_t expected = 8) {
    if (!Rehash(SlotsFor(expected))) throw std::bad_alloc();
  }

  [[nodiscard]] Value* find(Key key) noexcept { return const_cast<Value*>(std::as_const(*this).find(key)); }
  [[nodiscard]] const Value* find(Key key) const noexcept {
    if (key == Key{}) return hasDefaultKey_ ? &defaultKeyValue_ : nullptr;
    const Slot& slot = slots_[SlotOf(key)];
    return slot.key == key ? &slot.value : nullptr;
  }
  [[nodiscard]] std::size_t count(Key key) const noexcept { return find(key) != nullptr ? 1 : 0; }

  // The entry, inserted with `value` when missing; .second tells whether it was inserted.
  // May grow the array; when memory for that is exhausted the entry still goes in while a
  // slot besides the last empty one is free, and otherwise nothing is inserted:
  // {nullptr, false}.
  std::pair<Value*, bool> try_emplace(Key key, Value value = Value{}) noexcept {
    if (key == Key{}) {
      bool inserted = !hasDefaultKey_;
      if (inserted) defaultKeyValue_ = value;
      hasDefaultKey_ = true;
      return {&defaultKeyValue_, inserted};
    }
    std::size_t slot = SlotOf(key);
    if (slots_[slot].key == key) return {&slots_[slot].value, false};
    // Half full: grow. Without the memory for it, fill on while a slot besides the one that
    // ends every run stays empty.
    if ((used_ + 1) * 2 > SlotCount()) {
      if (Rehash(SlotCount() * 2)) {
        slot = SlotOf(key);
      } else if (used_ + 2 > SlotCount()) {
        return {nullptr, false};
      }
    }
    slots_[slot] = {key, value};
    ++used_;
    return {&slots_[slot].value, true};
  }
  // As try_emplace with the value type's default; std::bad_alloc when nothing could be
  // inserted.
  Value& operator[](Key key) requires(!std::is_empty_v<Value>) {
    Value* entry = try_emplace(key).first;
    if (entry == nullptr) throw std::bad_alloc();
    return *entry;
  }
  // A set's insert: whether the key was new; std::bad_alloc when it could not be inserted.
  bool insert(Key key) requires std::is_empty_v<Value> {
    auto [entry, inserted] = try_emplace(key);
    if (entry == nullptr) throw std::bad_alloc();
    return inserted;
  }
  // Whether an entry was removed.
  bool erase(Key key) noexcept {
    if (key == Key{}) return std::exchange(hasDefaultKey_, false);
    std::size_t slot = SlotOf(key);
    if (slots_[slot].key != key) return false;
    RemoveAt(slot);
    return true;
  }
  void clear() noexcept {
    std::fill_n(slots_.get(), SlotCount(), Slot{});
    used_ = 0;
    hasDefaultKey_ = false;
  }
  // Room for `count` keys without growing. std::bad_alloc without the memory.
  void reserve(std::size_t count) {
    std::size_t wanted = SlotsFor(count);
    if (wanted > SlotCount() && !Rehash(wanted)) throw std::bad_alloc();
  }
  [[nodiscard]] std::size_t size() const noexcept { return used_ + (hasDefaultKey_ ? 1 : 0); }
  [[nodiscard]] bool empty() const noexcept { return size() == 0; }

  // ---- walking the slots (the default key has none) -------------------------------------
  [[nodiscard]] std::size_t SlotCount() const noexcept { return mask_ + 1; }
  [[nodiscard]] bool SlotIsEmpty(std::size_t slot) const noexcept { return slots_[slot].key == Key{}; }
  [[nodiscard]] Key SlotKey(std::size_t slot) const noexcept { return slots_[slot].key; }
  [[nodiscard]] Value SlotValue(std::size_t slot) const noexcept { return slots_[slot].value; }
  // The first empty slot at or after `slot` (cyclically); the array is never full.
  [[nodiscard]] std::size_t EmptySlotFrom(std::size_t slot) const noexcept {
    while (slots_[slot].key != Key{}) slot = (slot + 1) & mask_;
    return slot;
  }

 private:
  struct Slot {
    Key key{};
    [[no_unique_address]] Value value{};
  };
  static_assert(!std::is_empty_v<Value> || sizeof(Slot) == sizeof(Key), "a set's slot is its key");

  // At least 16 slots, and twice the keys.
  [[nodiscard]] static std::size_t SlotsFor(std::size_t keys) {
    if (keys > std::numeric_limits<std::size_t>::max() / 4 / sizeof(Slot)) throw std::bad_alloc();
    return std::bit_ceil(keys < 8 ? std::size_t{16} : keys * 2);
  }

  [[nodiscard]] std::size_t Home(Key key) const noexcept {
    std::uint32_t bits;
    if constexpr (std::is_pointer_v<Key>) {
      // Heap objects are 8-byte aligned: the low three bits carry nothing.
      bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key) >> 3);
    } else {
      bits = static_cast<std::uint32_t>(key);
    }
    return static_cast<std::size_t>((bits * 0x9E3779B1u) >> shift_);
  }

  // Where `key` is, else the empty slot that ends its run.
  [[nodiscard]] std::size_t SlotOf(Key key) const noexcept {
    std::size_t slot = Home(key);
    while (slots_[slot].key != key && slots_[slot].key != Key{}) slot = (slot + 1) & mask_;
    return slot;
  }

  // Moves every entry into a new array of `slotCount` slots; false (nothing changed) without
  // the memory for it.
  [[nodiscard]] bool Rehash(std::size_t slotCount) noexcept {
    std::unique_ptr<Slot[]> grown(new (std::nothrow) Slot[slotCount]);
    if (grown == nullptr) return false;
    std::unique_ptr<Slot[]> old = std::exchange(slots_, std::move(grown));
    std::size_t oldCount = old != nullptr ? SlotCount() : 0;
    mask_ = slotCount - 1;
    shift_ = 32u - static_cast<unsigned>(std::countr_zero(slotCount));
    for (std::size_t i = 0; i < oldCount; ++i) {
      if (old[i].key != Key{}) slots_[EmptySlotFrom(Home(old[i].key))] = old[i];
    }
    return true;
  }

  // Empties `slot`, then moves back every later entry of the run that could not be found
  // past the hole otherwise.
  void RemoveAt(std::size_t slot) noexcept {
    std::size_t hole = slot;
    for (std::size_t next = (hole + 1) & mask_; slots_[next].key != Key{}; next = (next + 1) & mask_) {
      std::size_t home = Home(slots_[next].key);
      // The entry may fill the hole when its home does not lie cyclically in (hole, next].
      bool homeAfterHole = ((next - home) & mask_) < ((next - hole) & mask_);
      if (homeAfterHole) continue;
      slots_[hole] = slots_[next];
      hole = next;
    }
    slots_[hole] = {};
    --used_;
  }

  std::unique_ptr<Slot[]> slots_;
  std::size_t mask_ = 0;
  unsigned shift_ = 0;   // 32 - log2(slot count): Home keeps the hash's top bits
  std::size_t used_ = 0;  // occupied slots
  bool hasDefaultKey_ = false;
  [[no_unique_address]] Value defaultKeyValue_{};
};

template <typename Key>
using OpenAddressSet = OpenAddressTable<Key, NoValue>;

}  // namespace qx
