#pragma once
// What the compiled-script writer and the strict reader agree on: the fixed header fields of
// format 3.2 for this game, and names compared without regard to case, as the VM does.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace qxtools::pex {

constexpr std::uint32_t kMagic = 0xFA57C0DE;  // big-endian on disk: FA 57 C0 DE
constexpr std::uint8_t kMajorVersion = 3, kMinorVersion = 2;
constexpr std::uint16_t kGameId = 1;
constexpr std::uint32_t kHiddenObject = 0x00000001;
// Every count and string length is a u16, every name a u16 index into the string table.
constexpr std::size_t kMaxCount = 0xFFFF;

inline std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace qxtools::pex
