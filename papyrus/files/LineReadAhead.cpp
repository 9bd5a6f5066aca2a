#include "papyrus/files/LineReadAhead.h"

#include <algorithm>
#include <cstring>

namespace qx::io {

bool LineReadAhead::MakeRoom(bool holdsLines, std::size_t restOfLine) {
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
  // The first block as the input's size asks; after it, as large a one as any file's.
  std::size_t grown = std::max(capacity_ == 0 ? firstBlock_ : kFirstBlockBytes, capacity_ * 2);
  // Known: the line's whole length at once, and a first block's room after it.
  if (restOfLine != kUnknown && restOfLine <= kMaxBlockBytes - filled_ - kFirstBlockBytes) {
    grown = std::max(filled_ + restOfLine + kFirstBlockBytes, capacity_ + kFirstBlockBytes);
  }
  // Only the padding is written now: the rest of the block is touched as the input fills it.
  std::unique_ptr<char[]> block(new char[grown + kPadding]);
  std::memset(block.get() + grown, 0, kPadding);  // read, never used
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
