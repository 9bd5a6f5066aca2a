#include "papyrus/text/FormText.h"

#include <string>

#include "papyrus/text/HexText.h"
#include "papyrus/text/TerminatedText.h"

namespace qx::papyrus {
namespace {

constexpr std::uint32_t kNotLoaded = 0xFF;
constexpr std::size_t kLocalDigits = 6;
constexpr std::size_t kNameStart = 7;  // after the local ID and "_"

}  // namespace

std::string LoadIndependentFormText(std::string_view hex, bool allowCustom, const LoadedMods& mods) {
  std::uint32_t index = ModIndexOfHex(hex);
  if (index == kNotLoaded && !allowCustom) return {};
  std::string text(hex.size() > 2 ? hex.substr(2) : std::string_view{});
  text += '_';
  if (index == kNotLoaded) {
    text += kCustomObjectMarker;
  } else {
    text += mods.NameAt(index);
  }
  return text;
}

std::uint32_t ResolveLoadIndependentFormText(std::string_view text, bool allowCustom,
                                             const LoadedMods& mods) {
  if (text.size() < kNameStart) return 0;
  std::uint32_t local = HexToDec(text.substr(0, kLocalDigits));
  std::string_view nameText = text.substr(kNameStart);
  if (allowCustom && nameText == kCustomObjectMarker) {
    return HexToDec(std::string(kCustomModIndexHex) + std::string(text.substr(0, kLocalDigits)));
  }
  // The list takes zero-terminated names.
  std::uint32_t index = mods.IndexOf(TerminatedText<272>(nameText).c_str());
  if (index == kNotLoaded) return 0;
  return (index << 24) | local;
}

}  // namespace qx::papyrus
