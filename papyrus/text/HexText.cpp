#include "papyrus/text/HexText.h"

namespace qx::papyrus {

std::uint32_t ModIndexOfHex(std::string_view text) noexcept {
  std::uint32_t high = text.size() > 0 ? HexDigitValue(text[0]) : 0;
  std::uint32_t low = text.size() > 1 ? HexDigitValue(text[1]) : 0;
  return high * 16 + low;
}

std::string DecToHex(std::uint32_t value, std::uint32_t byteCount) {
  if (byteCount > kMaxHexBytes) return {};
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(byteCount * 2, '0');
  for (std::size_t i = text.size(); i-- > 0 && value != 0;) {
    text[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  return text;
}

std::uint32_t HexToDec(std::string_view text) noexcept {
  std::uint32_t value = 0;
  for (char c : text) value = (value << 4) | HexDigitValue(c);
  return value;
}

}  // namespace qx::papyrus
