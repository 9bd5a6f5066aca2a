#include "papyrus/text/GameLoadedMods.h"

#include <bit>
#include <cstring>

#include "skse/GameDataHandler.h"

namespace qx::papyrus {
namespace {

class DataHandlerMods final : public LoadedMods {
 public:
  std::uint32_t IndexOf(const char* name) const override { return game::ModIndexOfFile(name); }
  const char* NameAt(std::uint32_t index) const override { return game::FileNameOfModIndex(index); }
};

// Never destroyed: script threads may still resolve form texts while the process ends.
const DataHandlerMods& kGameMods = *new DataHandlerMods;

// Names are read four characters at a time: a lookup of a name by the thousand at the
// data-loaded step is then a few operations per word, not per character. A name of four
// characters or more is its words from the start, then its last four characters (which
// overlap the word before when the length is no multiple of four); a shorter name is one
// word padded with zero characters.
std::uint32_t WordAt(const char* at) noexcept {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

std::uint32_t ShortName(const char* name, std::uint32_t length) noexcept {
  std::uint32_t word = 0;
  for (std::uint32_t i = 0; i < length; ++i) word |= std::uint32_t{static_cast<unsigned char>(name[i])} << (8 * i);
  return word;
}

// Letter case folded as the game's list is compared (ASCII letters only), in each of the
// word's four characters at once.
constexpr std::uint32_t FoldedWord(std::uint32_t word) noexcept {
  constexpr std::uint32_t kEachByte = 0x01010101u;
  std::uint32_t low = word & 0x7F7F7F7Fu;  // sums below cannot carry into the next byte
  std::uint32_t fromA = low + kEachByte * (0x80 - 'A');      // top bit: 'A' or above
  std::uint32_t pastZ = low + kEachByte * (0x80 - 'Z' - 1);  // top bit: above 'Z'
  std::uint32_t capitals = fromA & ~pastZ & ~word & 0x80808080u;  // ~word: no byte of 0x80 and up
  return word | (capitals >> 2);  // 0x80 >> 2 is the case bit, 0x20
}

constexpr bool SameFoldedWord(std::uint32_t a, std::uint32_t b) noexcept {
  return a == b || FoldedWord(a) == FoldedWord(b);
}

// The hash only has to agree for names the game takes as equal: with the case bit (0x20)
// of every character set, capitals and small letters hash alike (and so do a few other
// pairs, such as '@' and '`', which the comparison then tells apart). A multiplication
// carries a difference only upward: the table takes its slot from the top bits, which
// every character reaches.
constexpr std::uint32_t Mixed(std::uint32_t hash, std::uint32_t word) noexcept {
  return (hash ^ (word | 0x20202020u)) * 0x9E3779B1u;
}

std::uint32_t NameHash(const char* name, std::uint32_t length) noexcept {
  if (length < 4) return Mixed(length, ShortName(name, length));
  std::uint32_t hash = length;
  for (std::uint32_t at = 0; at + 4 < length; at += 4) hash = Mixed(hash, WordAt(name + at));
  return Mixed(hash, WordAt(name + length - 4));
}

bool SameFoldedName(const char* a, const char* b, std::uint32_t length) noexcept {
  if (length < 4) return SameFoldedWord(ShortName(a, length), ShortName(b, length));
  for (std::uint32_t at = 0; at + 4 < length; at += 4) {
    if (!SameFoldedWord(WordAt(a + at), WordAt(b + at))) return false;
  }
  return SameFoldedWord(WordAt(a + length - 4), WordAt(b + length - 4));
}

}  // namespace

LoadedModIndex::LoadedModIndex() {
  const game::DataHandler* handler = host::Global<const game::DataHandler*>(game::kDataHandlerSingleton);
  if (handler == nullptr) return;
  for (const game::LoadedModNode* node = &handler->loadedMods; node != nullptr; node = node->next) {
    if (node->record == nullptr) break;
    names_.push_back(node->record->name);
  }
  slots_.resize(std::bit_ceil(names_.size() * 2 + 2));  // two at least: a shift below 32
  slotShift_ = 32 - std::countr_zero(slots_.size());
  for (std::size_t position = 0; position < names_.size(); ++position) {
    Slot entry{names_[position], 0, 0, static_cast<std::uint32_t>(position) & 0xFF};
    entry.length = static_cast<std::uint32_t>(std::strlen(entry.name));
    entry.hash = NameHash(entry.name, entry.length);
    Slot& slot = SlotFor(entry.name, entry.hash, entry.length);
    if (slot.name == nullptr) slot = entry;  // the first file of a name is the one the game finds
  }
}

const LoadedModIndex::Slot& LoadedModIndex::SlotFor(const char* name, std::uint32_t hash,
                                                    std::uint32_t length) const noexcept {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = hash >> slotShift_;
  for (; slots_[slot].name != nullptr; slot = (slot + 1) & mask) {
    const Slot& entry = slots_[slot];
    if (entry.hash == hash && entry.length == length && SameFoldedName(entry.name, name, length)) break;
  }
  return slots_[slot];
}

std::uint32_t LoadedModIndex::IndexOf(const char* name) const {
  if (name == nullptr || slots_.empty()) return game::kModIndexNotLoaded;
  auto length = static_cast<std::uint32_t>(std::strlen(name));
  std::uint32_t hash = NameHash(name, length);
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
