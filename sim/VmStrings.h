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
  // Whether the cache holds a copy of `text` now.
  [[nodiscard]] static bool Holds(std::string_view text);

  // The VM released the value whose data word (a reference) is at `ref`.
  static void Released(const void* ref);

  // Texts first interned while a scope lives are dropped when it ends, as the game's cache
  // drops the texts of a finished call that nothing references any more: a text that a
  // reference outside the calling thread's stack, pointed there by the setter, still holds
  // then stays until a later scope ends after that reference let go of it. A long run of
  // calls (a fuzz target) stays at a steady size, and a caller that kept a pointer into
  // the cache past the scope reads freed memory, which the address sanitizer reports.
  // One scope at a time.
  class ShortLivedScope {
   public:
    ShortLivedScope();
    ~ShortLivedScope();
    ShortLivedScope(const ShortLivedScope&) = delete;
    ShortLivedScope& operator=(const ShortLivedScope&) = delete;
  };
};

}  // namespace sim
