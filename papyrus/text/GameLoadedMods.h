#pragma once
// The game's own loaded-mod list as the form text functions read it.
#include <cstdint>
#include <string>
#include <unordered_map>
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
  std::unordered_map<std::string, std::uint32_t> indexByName_;  // names lower-cased
  std::vector<const char*> names_;                               // by position
  mutable std::string folded_;  // IndexOf's lower-cased name, its storage kept (one thread)
};

// Load-independent form text ("000D4E_Skyrim.esm") to the form ID it has in this game;
// 0 when its file is not loaded. Custom objects are not accepted.
[[nodiscard]] std::uint32_t ResolveGameFormText(const std::string& text);

}  // namespace qx::papyrus
