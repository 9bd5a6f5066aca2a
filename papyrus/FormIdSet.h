#pragma once
// A set of form IDs built once and then only read: open addressing with linear probing over
// a power-of-two array, so that building it for many thousand books allocates once per
// growth instead of once per entry, and a lookup is one hash and a short probe.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skse/GameForms.h"

namespace qx::papyrus {

class FormIdSet {
 public:
  // Room for `count` form IDs without growing.
  void Reserve(std::size_t count);
  // May grow (std::bad_alloc when that fails). Whether the ID was new.
  bool Insert(game::FormID id);
  [[nodiscard]] bool Contains(game::FormID id) const noexcept;
  [[nodiscard]] std::size_t Size() const noexcept { return size_; }

 private:
  [[nodiscard]] std::size_t Home(game::FormID id) const noexcept {
    return static_cast<std::size_t>((id * 0x9E3779B1u) >> shift_);
  }
  void Rebuild(std::size_t slotCount);

  std::vector<game::FormID> slots_;  // 0: empty (form ID 0 is kept apart)
  unsigned shift_ = 32;
  std::size_t size_ = 0;
  bool hasZero_ = false;
};

}  // namespace qx::papyrus
