#pragma once
// The lines a script file holds between the script and the disk: lines read ahead of the
// script, or lines waiting to be written. The buffer has a fixed number of slots (the
// script's buffer size), but only the slots actually used are allocated, so a script may
// ask for a huge buffer without the game's address space being reserved for it. Slot texts
// keep their storage from one batch to the next, so steady reading and writing does not
// allocate per line.
//
// Which slots hold valid lines is a count, never a marker inside the data: a line that
// begins with the end-marker character is a line like any other.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx::io {

// What NextLine gives at the end of a file: the one-character text 0x07 (zero-terminated).
inline constexpr std::string_view kEndMarker = "\x07";

class LineBuffer {
 public:
  // `size` is at least 1. Reading starts with an empty buffer that must be refilled first.
  LineBuffer(std::int32_t size, bool reading) noexcept
      : size_(size), position_(reading ? size : 0) {}

  [[nodiscard]] std::int32_t Size() const noexcept { return size_; }
  // Lines held: read ahead and not yet taken, or waiting to be written.
  [[nodiscard]] std::int32_t Position() const noexcept { return position_; }

  // ---- reading -----------------------------------------------------------------------
  [[nodiscard]] bool NeedsRefill() const noexcept { return position_ == size_; }
  // Replaces the buffer's lines with up to Size() lines from `readLine(std::string&)`,
  // which returns false at the end of the input. May throw what `readLine` throws or
  // std::bad_alloc; the buffer then holds the lines read so far.
  template <typename ReadLine>
  void Refill(ReadLine&& readLine) {
    position_ = 0;
    valid_ = 0;
    while (valid_ < size_ && readLine(Slot(valid_))) ++valid_;
  }
  [[nodiscard]] bool HasNext() const noexcept { return position_ < valid_; }
  // The next line, zero-terminated and valid until the buffer changes; at the end of the
  // lines read, the end marker. Does not move on.
  [[nodiscard]] std::string_view PeekNext() const noexcept;
  // Moves past the line PeekNext gave; at the end of the lines read, stays there.
  void Advance() noexcept {
    if (HasNext()) ++position_;
  }

  // ---- writing -----------------------------------------------------------------------
  [[nodiscard]] bool IsFull() const noexcept { return position_ == size_; }
  // Holds one more line; the buffer must not be full. May throw std::bad_alloc.
  void Append(std::string_view line);
  // Hands every held line to `writeLine(const std::string&)` in order and empties the
  // buffer. May throw what `writeLine` throws; the buffer is empty afterwards either way.
  template <typename WriteLine>
  void Drain(WriteLine&& writeLine) {
    std::int32_t held = position_;
    position_ = 0;
    for (std::int32_t i = 0; i < held; ++i) writeLine(slots_[static_cast<std::size_t>(i)]);
  }

  // Slots allocated so far (grows with the lines actually held, never beyond Size()).
  [[nodiscard]] std::size_t AllocatedSlots() const noexcept { return slots_.capacity(); }

 private:
  // Slot `index`, allocated on first use; `index` is at most the number allocated.
  std::string& Slot(std::int32_t index);

  std::int32_t size_;
  std::int32_t position_;
  std::int32_t valid_ = 0;  // reading: lines of the last refill
  std::vector<std::string> slots_;
};

}  // namespace qx::io
