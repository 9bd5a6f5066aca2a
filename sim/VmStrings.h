#pragma once
// The game's string cache: every text is interned once and lives as long as the process.
#include <cstddef>
#include <string_view>

namespace sim {

class VmStrings {
 public:
  static void PlaceRoutines();
  // The cache's copy of `text`.
  [[nodiscard]] static const char* Intern(std::string_view text);
  // How often the setter (0x00A51210) was given a null text.
  [[nodiscard]] static std::size_t NullTextsSet();
};

}  // namespace sim
