#include "papyrus/FormIdSet.h"

#include <bit>

namespace qx::papyrus {

void FormIdSet::Reserve(std::size_t count) {
  std::size_t wanted = std::bit_ceil(count * 2 < 16 ? 16 : count * 2);
  if (wanted > slots_.size()) Rebuild(wanted);
}

void FormIdSet::Rebuild(std::size_t slotCount) {
  std::vector<game::FormID> old = std::move(slots_);
  slots_.assign(slotCount, 0);
  shift_ = 32u - static_cast<unsigned>(std::countr_zero(slotCount));
  std::size_t mask = slotCount - 1;
  for (game::FormID id : old) {
    if (id == 0) continue;
    std::size_t slot = Home(id);
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = id;
  }
}

bool FormIdSet::Insert(game::FormID id) {
  if (id == 0) {
    bool added = !hasZero_;
    size_ += added ? 1 : 0;
    hasZero_ = true;
    return added;
  }
  if ((size_ + 1) * 2 > slots_.size()) Rebuild(slots_.empty() ? 16 : slots_.size() * 2);
  std::size_t mask = slots_.size() - 1;
  std::size_t slot = Home(id);
  for (; slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (slots_[slot] == id) return false;
  }
  slots_[slot] = id;
  ++size_;
  return true;
}

bool FormIdSet::Contains(game::FormID id) const noexcept {
  if (id == 0) return hasZero_;
  if (slots_.empty()) return false;
  std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = Home(id); slots_[slot] != 0; slot = (slot + 1) & mask) {
    if (slots_[slot] == id) return true;
  }
  return false;
}

}  // namespace qx::papyrus
