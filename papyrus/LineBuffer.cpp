#include "papyrus/LineBuffer.h"

#include <algorithm>

namespace qx::io {
namespace {

constexpr std::size_t kFirstSlotCount = 16;

}  // namespace

std::string& LineBuffer::Slot(std::int32_t index) {
  auto at = static_cast<std::size_t>(index);
  if (at == slots_.size()) {
    if (slots_.size() == slots_.capacity()) {
      // Grow geometrically, but never past the script's buffer size.
      std::size_t wanted = std::max(kFirstSlotCount, slots_.capacity() * 2);
      slots_.reserve(std::min(wanted, static_cast<std::size_t>(size_)));
    }
    slots_.emplace_back();
  }
  return slots_[at];
}

std::string_view LineBuffer::PeekNext() const noexcept {
  if (!HasNext()) return kEndMarker;
  return slots_[static_cast<std::size_t>(position_)];
}

void LineBuffer::Append(std::string_view line) {
  Slot(position_).assign(line);
  ++position_;
}

}  // namespace qx::io
