#include "papyrus/LineReadAhead.h"

#include <algorithm>
#include <cstring>

namespace qx::io {

bool LineReadAhead::MakeRoom(bool holdsLines) {
  std::size_t keep = holdsLines ? lines_.front().first : unread_;
  if (keep > 0) {
    std::memmove(block_.get(), block_.get() + keep, filled_ - keep);
    for (auto& [start, end] : lines_) {
      start -= static_cast<std::uint32_t>(keep);
      end -= static_cast<std::uint32_t>(keep);
    }
    unread_ -= keep;
    filled_ -= keep;
    if (filled_ < capacity_) return true;
  }
  if (holdsLines && capacity_ >= kReadAheadBytes) return false;
  std::size_t grown = std::max(kFirstBlockBytes, capacity_ * 2);
  std::unique_ptr<char[]> block(new char[grown + kPadding]());  // padding read, never used
  if (filled_ > 0) std::memcpy(block.get(), block_.get(), filled_);
  block_ = std::move(block);
  capacity_ = grown;
  return true;
}

void LineReadAhead::Release() noexcept {
  lines_ = {};
  block_.reset();
  capacity_ = filled_ = unread_ = position_ = 0;
  ended_ = true;
}

}  // namespace qx::io
