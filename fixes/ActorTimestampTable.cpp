#include "fixes/ActorTimestampTable.h"

#include <bit>

namespace qx {

ActorTimestampTable::ActorTimestampTable(std::size_t expected) {
  std::size_t slots = std::bit_ceil(expected < 8 ? 16 : expected * 2);
  slots_ = std::make_unique<Slot[]>(slots);
  mask_ = slots - 1;
  shift_ = 32u - static_cast<unsigned>(std::countr_zero(slots));
}

std::size_t ActorTimestampTable::Home(Key key) const noexcept {
  // Actors are aligned objects: the low bits carry nothing; Fibonacci hashing spreads the rest.
  auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key) >> 3);
  return static_cast<std::size_t>((bits * 0x9E3779B1u) >> shift_);
}

std::size_t ActorTimestampTable::EmptySlotFrom(std::size_t slot) const noexcept {
  while (slots_[slot].key != nullptr) slot = (slot + 1) & mask_;
  return slot;
}

Timestamp* ActorTimestampTable::find(Key key) noexcept {
  if (key == nullptr) return hasNull_ ? &nullValue_ : nullptr;
  for (std::size_t slot = Home(key);; slot = (slot + 1) & mask_) {
    if (slots_[slot].key == key) return &slots_[slot].value;
    if (slots_[slot].key == nullptr) return nullptr;
  }
}

std::pair<Timestamp*, bool> ActorTimestampTable::try_emplace(Key key, Timestamp value) noexcept {
  if (key == nullptr) {
    bool inserted = !hasNull_;
    if (inserted) nullValue_ = value;
    hasNull_ = true;
    return {&nullValue_, inserted};
  }
  if (Timestamp* found = find(key)) return {found, false};
  // Half full: grow. Without the memory for it, fill on while a slot besides the one that
  // ends every run stays empty.
  if ((size_ + 1) * 2 > SlotCount() && !Grow() && size_ + 2 > SlotCount()) return {nullptr, false};
  std::size_t slot = Home(key);
  while (slots_[slot].key != nullptr) slot = (slot + 1) & mask_;
  slots_[slot] = {key, value};
  ++size_;
  return {&slots_[slot].value, true};
}

Timestamp& ActorTimestampTable::operator[](Key key) {
  Timestamp* entry = try_emplace(key, 0).first;
  if (entry == nullptr) throw std::bad_alloc();
  return *entry;
}

bool ActorTimestampTable::Grow() noexcept {
  std::size_t oldCount = SlotCount();
  std::unique_ptr<Slot[]> grown(new (std::nothrow) Slot[oldCount * 2]);
  if (grown == nullptr) return false;
  std::unique_ptr<Slot[]> old = std::exchange(slots_, std::move(grown));
  mask_ = oldCount * 2 - 1;
  --shift_;
  for (std::size_t i = 0; i < oldCount; ++i) {
    if (old[i].key == nullptr) continue;
    std::size_t slot = Home(old[i].key);
    while (slots_[slot].key != nullptr) slot = (slot + 1) & mask_;
    slots_[slot] = old[i];
  }
  return true;
}

bool ActorTimestampTable::erase(Key key) noexcept {
  if (key == nullptr) {
    bool had = hasNull_;
    hasNull_ = false;
    return had;
  }
  for (std::size_t slot = Home(key);; slot = (slot + 1) & mask_) {
    if (slots_[slot].key == nullptr) return false;
    if (slots_[slot].key == key) {
      RemoveAt(slot);
      return true;
    }
  }
}

// Empties `slot`, then moves back every later entry of the run that could not be found
// past the hole otherwise.
void ActorTimestampTable::RemoveAt(std::size_t slot) noexcept {
  std::size_t hole = slot;
  for (std::size_t next = (hole + 1) & mask_; slots_[next].key != nullptr; next = (next + 1) & mask_) {
    std::size_t home = Home(slots_[next].key);
    // The entry may fill the hole when its home does not lie cyclically in (hole, next].
    bool homeAfterHole = ((next - home) & mask_) < ((next - hole) & mask_);
    if (homeAfterHole) continue;
    slots_[hole] = slots_[next];
    hole = next;
  }
  slots_[hole] = {};
  --size_;
}

void ActorTimestampTable::clear() noexcept {
  for (std::size_t i = 0; i < SlotCount(); ++i) slots_[i] = {};
  size_ = 0;
  hasNull_ = false;
}

}  // namespace qx
