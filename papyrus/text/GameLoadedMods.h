#pragma once
// The game's own loaded-mod list as the form text functions read it.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "papyrus/text/FormText.h"

namespace qx::papyrus {

// The data handler's list, read at each call (empty while the game has no data handler).
[[nodiscard]] const LoadedMods& GameLoadedMods();

// The game's list read once into a map from file name to mod index, for resolving many
// texts at one time (the data-loaded step: the list does not change once the game's data
// has loaded); used by one thread at a time. Answers as the list itself does: the first file of a name (letter case
// ignored), its position reduced to a byte; nothing after a node without a record.
class LoadedModIndex final : public LoadedMods {
 public:
  LoadedModIndex();
  [[nodiscard]] std::uint32_t IndexOf(const char* name) const override;
  [[nodiscard]] const char* NameAt(std::uint32_t index) const override;

 private:
  // The names by a hash blind to letter case, compared as the game compares them (ASCII
  // letters in either case alike), in open addressing: a name is looked up as given,
  // without a lower-cased copy. An empty slot has no name.
  struct Slot {
    const char* name = nullptr;
    std::uint32_t length = 0;
    std::uint32_t hash = 0;
    std::uint32_t index = 0;
  };
  // The slot that holds the name, or else the empty one where it would go.
  [[nodiscard]] const Slot& SlotFor(const char* name, std::uint32_t hash, std::uint32_t length) const noexcept;
  Slot& SlotFor(const char* name, std::uint32_t hash, std::uint32_t length) noexcept {
    return const_cast<Slot&>(std::as_const(*this).SlotFor(name, hash, length));
  }

  std::vector<Slot> slots_;         // a power of two, at least twice the names
  int slotShift_ = 32;              // 32 - log2(slot count): a slot is its hash's top bits
  std::vector<const char*> names_;  // by position
};

// Load-independent form text ("000D4E_Skyrim.esm") to the form ID it has in this game;
// 0 when its file is not loaded. Custom objects are not accepted.
[[nodiscard]] std::uint32_t ResolveGameFormText(const std::string& text);

}  // namespace qx::papyrus
