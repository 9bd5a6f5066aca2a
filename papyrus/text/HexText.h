#pragma once
// Hexadecimal text as scripts write form IDs: any character that is no hexadecimal digit
// counts as the digit 0 and still takes its place.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::papyrus {

// Byte counts above this give the empty text: no script may ask for unbounded memory.
inline constexpr std::uint32_t kMaxHexBytes = 1024;

[[nodiscard]] constexpr std::uint32_t HexDigitValue(char c) noexcept {
  if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<std::uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<std::uint32_t>(c - 'A' + 10);
  return 0;
}
// The first two characters as a byte (missing characters count as 0).
[[nodiscard]] std::uint32_t ModIndexOfHex(std::string_view text) noexcept;
// The low byteCount*2 digits of `value`, upper case, zero-padded; "" for a byte count of 0,
// a negative one (as its 32-bit pattern) or one above kMaxHexBytes.
[[nodiscard]] std::string DecToHex(std::uint32_t value, std::uint32_t byteCount);
// All characters as hexadecimal digits, modulo 2^32.
[[nodiscard]] std::uint32_t HexToDec(std::string_view text) noexcept;

}  // namespace qx::papyrus
