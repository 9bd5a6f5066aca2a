#pragma once
// Load-independent form text: the local ID (six hex digits), "_", then the defining plugin
// file's name, so that a stored form survives a changed load order.
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::papyrus {

// The file name that stands for forms the game made while running (mod index 0xFF).
inline constexpr std::string_view kCustomObjectMarker = "__CUSTOMPLACEDOBJ__";
inline constexpr std::string_view kCustomModIndexHex = "FF";

// The loaded plugin files, as the form text functions need them.
class LoadedMods {
 public:
  virtual ~LoadedMods() = default;
  // Position of the file (case ignored) as a byte, or 255 when it is not loaded.
  [[nodiscard]] virtual std::uint32_t IndexOf(const char* name) const = 0;
  // The file's name at `index`, or "" past the end.
  [[nodiscard]] virtual const char* NameAt(std::uint32_t index) const = 0;
};

// From hexadecimal form text. A custom object gives "" unless `allowCustom`, when its file
// name is the marker. Text shorter than two characters has an empty local part.
[[nodiscard]] std::string LoadIndependentFormText(std::string_view hex, bool allowCustom,
                                                  const LoadedMods& mods);
// Back to the current form ID; 0 when the file is not loaded or the text is shorter than
// seven characters. With `allowCustom` the marker (case significant) gives mod index 0xFF.
[[nodiscard]] std::uint32_t ResolveLoadIndependentFormText(std::string_view text, bool allowCustom,
                                                           const LoadedMods& mods);

}  // namespace qx::papyrus
