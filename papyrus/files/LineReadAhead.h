#pragma once
// The lines a script file has read ahead of the script: whole lines of the file kept in one
// block of bytes as the file delivered them, each ended in place by a zero, so that a line
// reaches the script without being copied. A refill takes up to the script's buffer size in
// lines, but stops early once the block holds about kReadAheadBytes or the index of its
// lines kMaxLinesPerRefill entries (the next refill goes on from there), so a huge buffer
// size never holds the whole file, however short its lines: the block grows beyond that
// only to hold one longer line, and then at once to that line's length when the input can
// tell it (never holding the line twice while it grows).
//
// Which lines are valid is a count, never a marker inside the data: a line that begins with
// the end-marker character is a line like any other.
#include <emmintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace qx::io {

// What NextLine gives at the end of a file: the one-character text 0x07 (zero-terminated).
inline constexpr std::string_view kEndMarker = "\x07";

class LineReadAhead {
 public:
  // About this many bytes of the file are held at most (more only for one longer line).
  static constexpr std::size_t kReadAheadBytes = 256 * 1024;
  // The block a reader starts with, unless the file is known to be smaller (ExpectBytes).
  static constexpr std::size_t kFirstBlockBytes = 64 * 1024;
  // The smallest first block, for a file of a few bytes.
  static constexpr std::size_t kSmallestBlockBytes = 64;
  // Lines a refill takes at most: their index (8 bytes a line) stays within half the
  // bytes of the block, whatever the lines' length.
  static constexpr std::size_t kMaxLinesPerRefill = kReadAheadBytes / 16;

  // `size` (at least 1) lines per refill at most; `dropCarriageReturn`: a carriage return
  // that ends a line before its line feed is not part of the line.
  LineReadAhead(std::int32_t size, bool dropCarriageReturn) noexcept
      : size_(static_cast<std::size_t>(size) < kMaxLinesPerRefill ? size : static_cast<std::int32_t>(kMaxLinesPerRefill)),
        dropCarriageReturn_(dropCarriageReturn) {}

  // The input holds about `bytes` (a file's size as it is opened): a small file's first block
  // is its own size, a byte more to see its end, not kFirstBlockBytes. Before the first refill.
  void ExpectBytes(std::uint64_t bytes) noexcept {
    if (bytes < kFirstBlockBytes - 1) {
      firstBlock_ = (std::max<std::size_t>(static_cast<std::size_t>(bytes) + 1, kSmallestBlockBytes) + 15) & ~std::size_t{15};
    }
  }

  [[nodiscard]] bool NeedsRefill() const noexcept {
    return position_ == lines_.size() && !ended_;
  }
  // Replaces the lines held with the next ones of the input. `read(char* to, size_t room)`
  // gives up to `room` bytes and returns how many (0 at the end of the input); it may
  // throw, as may the block's growth (std::bad_alloc): the lines found so far stay.
  // `restOfLine()` tells, without consuming it, how many bytes the input holds up to and
  // including its next line feed (or to its end), or kUnknown; it is asked only when a line
  // fills the whole block.
  template <typename Read, typename RestOfLine>
  void Refill(Read&& read, RestOfLine&& restOfLine);
  template <typename Read>
  void Refill(Read&& read) {
    Refill(read, [] { return kUnknown; });
  }
  static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

  [[nodiscard]] bool HasNext() const noexcept { return position_ < lines_.size(); }
  [[nodiscard]] std::size_t LinesLeft() const noexcept { return lines_.size() - position_; }
  // The next line, zero-terminated and valid until the next refill; at the end of the
  // lines, the end marker. Does not move on.
  [[nodiscard]] std::string_view PeekNext() const noexcept {
    if (!HasNext()) return kEndMarker;
    auto [start, end] = lines_[position_];
    return std::string_view(block_.get() + start, end - start);
  }
  // Moves past the line PeekNext gave; at the end of the lines, stays there.
  void Advance() noexcept {
    if (HasNext()) ++position_;
  }

  // Bytes of the block, and of the block and the index of its lines together.
  [[nodiscard]] std::size_t BlockBytes() const noexcept { return capacity_; }
  [[nodiscard]] std::size_t HeldBytes() const noexcept {
    return capacity_ + lines_.capacity() * sizeof(lines_[0]);
  }
  // Gives the block back (after the file is closed).
  void Release() noexcept;

 private:
  // The first line feed in [from, to) of the block (from below to), or null. Reads whole
  // 16-byte groups, the last one possibly into the padding after the block's capacity.
  static const char* FindLineFeed(const char* from, const char* to) noexcept {
    const __m128i feed = _mm_set1_epi8('\n');
    for (; from + 16 <= to; from += 16) {
      auto found = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), feed)));
      if (found != 0) return from + __builtin_ctz(found);
    }
    if (from >= to) return nullptr;
    auto found = static_cast<unsigned>(_mm_movemask_epi8(
                     _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from)), feed))) &
                 ((1u << (to - from)) - 1u);
    return found != 0 ? from + __builtin_ctz(found) : nullptr;
  }
  // Bytes after the block's capacity that FindLineFeed may read.
  static constexpr std::size_t kPadding = 16;
  // The largest block: line positions are 32-bit, and a 32-bit process has no more room.
  static constexpr std::size_t kMaxBlockBytes = std::size_t{1} << 31;

  // Records the line [start, end) and ends it with a zero at `end`.
  void AddLine(std::size_t start, std::size_t end) {
    block_[end] = '\0';
    lines_.emplace_back(static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end));
  }
  // Room for more bytes after the data: moves what this refill still needs (its lines and
  // the unread rest) to the front, or grows the block (to the unread line's whole length
  // when `restOfLine` is known, else to twice its size). False when the block already
  // holds kReadAheadBytes with lines of this refill in it: the refill stops there.
  bool MakeRoom(bool holdsLines, std::size_t restOfLine);

  std::int32_t size_;  // lines a refill takes at most: the script's buffer size, capped
  std::size_t firstBlock_ = kFirstBlockBytes;
  bool dropCarriageReturn_;
  bool ended_ = false;        // the input ended: no more refills
  std::size_t position_ = 0;  // the next line to hand over
  std::vector<std::pair<std::uint32_t, std::uint32_t>> lines_;  // [start, end) in the block
  std::unique_ptr<char[]> block_;
  std::size_t capacity_ = 0;
  std::size_t unread_ = 0;  // first byte after the last line taken from the block
  std::size_t filled_ = 0;  // bytes of the block holding input
  bool inputEnded_ = false;  // read gave 0
};

template <typename Read, typename RestOfLine>
void LineReadAhead::Refill(Read&& read, RestOfLine&& restOfLine) {
  lines_.clear();
  position_ = 0;
  std::size_t scan = unread_;  // no line feed before this byte of the unread rest
  while (lines_.size() < static_cast<std::size_t>(size_)) {
    const char* at = scan < filled_ ? FindLineFeed(block_.get() + scan, block_.get() + filled_) : nullptr;
    if (at != nullptr) {
      std::size_t feed = static_cast<std::size_t>(at - block_.get());
      std::size_t end = feed;
      if (dropCarriageReturn_ && end > unread_ && block_[end - 1] == '\r') --end;
      AddLine(unread_, end);
      unread_ = scan = feed + 1;
      continue;
    }
    scan = filled_;
    if (inputEnded_) {
      // A last line without a line feed is still a line.
      if (unread_ < filled_) {
        if (filled_ == capacity_ && !MakeRoom(!lines_.empty(), 0)) break;
        AddLine(unread_, filled_);
        unread_ = filled_;
      }
      break;
    }
    // A full block that is one unfinished line, which no move can make room for: its length
    // decides the growth. (Measuring reads ahead to the line feed and seeks back: wasted
    // when the unread rest does not start the block, as moving it to the front makes room.)
    bool growsForALine = filled_ == capacity_ && lines_.empty() && unread_ == 0 && capacity_ >= kReadAheadBytes;
    if (filled_ == capacity_ && !MakeRoom(!lines_.empty(), growsForALine ? restOfLine() : kUnknown)) break;
    scan = filled_;
    std::size_t got = read(block_.get() + filled_, capacity_ - filled_);
    if (got == 0) inputEnded_ = true;
    filled_ += got;
  }
  // Fewer lines than slots and not stopped early: the input has ended.
  if (inputEnded_ && unread_ == filled_ && lines_.size() < static_cast<std::size_t>(size_)) ended_ = true;
}

}  // namespace qx::io
