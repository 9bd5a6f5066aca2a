#pragma once
// Telling quickly whether a script's path text is the one a thread looked up last: the
// remembered text is kept with room around it, and the script's text is read in aligned
// 16-byte blocks (a block never crosses a page, so reading one that holds part of the text
// is always safe, even past the text's end; bytes after the terminator are not used).
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace qx::io {

class RememberedPath {
 public:
  constexpr RememberedPath() = default;

  // Paths longer than this are not remembered.
  static constexpr std::size_t kMaxLength = 512;

  // Remembers `text` (zero-terminated); false (and nothing remembered) when it is too long.
  bool Remember(const char* text) noexcept;
  void Forget() noexcept { length_ = kNone; }
  // Whether zero-terminated `text` equals the remembered text.
  [[nodiscard]] bool Matches(const char* text) const noexcept;  // (below)

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  static constexpr std::size_t kPad = 16;
  std::size_t length_ = kNone;
  // The text at kPad, zero-terminated; the padding on both sides lets a block of the
  // script's text be compared with the bytes at the same positions here.
  alignas(16) char text_[kPad + kMaxLength + 1 + kPad] = {};
};

// Reads whole aligned blocks of `text`, possibly past its terminator: not the sanitizer's
// business (the block is mapped memory, and no byte after the terminator decides anything).
__attribute__((no_sanitize_address)) inline bool RememberedPath::Matches(const char* text) const noexcept {
  if (length_ == kNone) return false;
  auto address = reinterpret_cast<std::uintptr_t>(text);
  unsigned skew = static_cast<unsigned>(address & 15);
  const auto* block = reinterpret_cast<const __m128i*>(address - skew);  // position 0 is lane `skew`
  const char* mine = text_ + kPad - skew;  // the remembered byte of each lane
  std::size_t lanes = skew + length_ + 1;  // lanes holding positions 0 to the terminator
  unsigned ignored = ~(0xFFFFu << skew) & 0xFFFFu;  // the lanes before position 0
  for (;; ++block, mine += 16, lanes -= 16, ignored = 0) {
    unsigned equal = static_cast<unsigned>(_mm_movemask_epi8(
                         _mm_cmpeq_epi8(_mm_load_si128(block), _mm_loadu_si128(reinterpret_cast<const __m128i*>(mine))))) |
                     ignored;
    if (lanes <= 16) {
      unsigned wanted = lanes == 16 ? 0xFFFFu : (1u << lanes) - 1u;
      return (equal & wanted) == wanted;
    }
    // A difference ends it: the script's text is never read past the block that holds its
    // terminator or its first difference.
    if (equal != 0xFFFFu) return false;
  }
}

}  // namespace qx::io
