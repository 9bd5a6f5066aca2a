#include "papyrus/text/HexText.h"

#include <array>

namespace qx::papyrus {
namespace {

// HexDigitValue of every character, for reading texts digit by digit without branches:
// form texts are resolved by the thousand at start-up.
constexpr auto kHexDigitValues = [] {
  std::array<std::uint8_t, 256> values{};
  for (std::size_t c = 0; c < values.size(); ++c) values[c] = static_cast<std::uint8_t>(HexDigitValue(static_cast<char>(c)));
  return values;
}();

}  // namespace

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
  for (char c : text) value = (value << 4) | kHexDigitValues[static_cast<unsigned char>(c)];
  return value;
}

}  // namespace qx::papyrus
