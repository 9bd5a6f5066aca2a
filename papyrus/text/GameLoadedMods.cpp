#include "papyrus/text/GameLoadedMods.h"

#include <bit>

#include "skse/GameDataHandler.h"

namespace qx::papyrus {
namespace {

class DataHandlerMods final : public LoadedMods {
 public:
  std::uint32_t IndexOf(const char* name) const override { return game::ModIndexOfFile(name); }
  const char* NameAt(std::uint32_t index) const override { return game::FileNameOfModIndex(index); }
};

const DataHandlerMods kGameMods;

// Letter case folded as the game's list is compared: ASCII letters only.
constexpr unsigned char Folded(char c) noexcept {
  return static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// The folded letters' FNV-1a hash, and the name's length, in one pass.
std::uint32_t FoldedHash(const char* name, std::uint32_t& length) noexcept {
  std::uint32_t hash = 2166136261u;
  const char* at = name;
  for (; *at != '\0'; ++at) hash = (hash ^ Folded(*at)) * 16777619u;
  length = static_cast<std::uint32_t>(at - name);
  // A multiplication carries a difference only upward: names that differ early and end
  // alike (".esp") would share their low bits, which pick the slot.
  return hash ^ (hash >> 15);
}

bool SameFoldedName(const char* a, const char* b, std::uint32_t length) noexcept {
  for (std::uint32_t i = 0; i < length; ++i) {
    if (a[i] != b[i] && Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

}  // namespace

LoadedModIndex::LoadedModIndex() {
  const game::DataHandler* handler = host::Global<const game::DataHandler*>(game::kDataHandlerSingleton);
  if (handler == nullptr) return;
  for (const game::LoadedModNode* node = &handler->loadedMods; node != nullptr; node = node->next) {
    if (node->record == nullptr) break;
    names_.push_back(node->record->name);
  }
  slots_.resize(std::bit_ceil(names_.size() * 2 + 1));
  for (std::size_t position = 0; position < names_.size(); ++position) {
    Slot entry{names_[position], 0, 0, static_cast<std::uint32_t>(position) & 0xFF};
    entry.hash = FoldedHash(entry.name, entry.length);
    Slot& slot = SlotFor(entry.name, entry.hash, entry.length);
    if (slot.name == nullptr) slot = entry;  // the first file of a name is the one the game finds
  }
}

const LoadedModIndex::Slot& LoadedModIndex::SlotFor(const char* name, std::uint32_t hash,
                                                    std::uint32_t length) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash & mask;
  for (; slots_[slot].name != nullptr; slot = (slot + 1) & mask) {
    const Slot& entry = slots_[slot];
    if (entry.hash == hash && entry.length == length && SameFoldedName(entry.name, name, length)) break;
  }
  return slots_[slot];
}

std::uint32_t LoadedModIndex::IndexOf(const char* name) const {
  if (name == nullptr || slots_.empty()) return game::kModIndexNotLoaded;
  std::uint32_t length = 0;
  std::uint32_t hash = FoldedHash(name, length);
  const Slot& slot = SlotFor(name, hash, length);
  return slot.name != nullptr ? slot.index : game::kModIndexNotLoaded;
}

const char* LoadedModIndex::NameAt(std::uint32_t index) const {
  return index < names_.size() ? names_[index] : "";
}

const LoadedMods& GameLoadedMods() { return kGameMods; }

std::uint32_t ResolveGameFormText(const std::string& text) {
  return ResolveLoadIndependentFormText(text, false, kGameMods);
}

}  // namespace qx::papyrus
