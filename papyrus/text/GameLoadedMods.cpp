#include "papyrus/text/GameLoadedMods.h"

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
void Fold(const char* name, std::string& folded) {
  folded.assign(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

}  // namespace

LoadedModIndex::LoadedModIndex() {
  const game::DataHandler* handler = host::Global<const game::DataHandler*>(game::kDataHandlerSingleton);
  if (handler == nullptr) return;
  for (const game::LoadedModNode* node = &handler->loadedMods; node != nullptr; node = node->next) {
    if (node->record == nullptr) break;
    auto position = static_cast<std::uint32_t>(names_.size());
    names_.push_back(node->record->name);
    Fold(node->record->name, folded_);
    indexByName_.try_emplace(folded_, position & 0xFF);
  }
}

std::uint32_t LoadedModIndex::IndexOf(const char* name) const {
  if (name == nullptr) return game::kModIndexNotLoaded;
  Fold(name, folded_);
  auto found = indexByName_.find(folded_);
  return found == indexByName_.end() ? game::kModIndexNotLoaded : found->second;
}

const char* LoadedModIndex::NameAt(std::uint32_t index) const {
  return index < names_.size() ? names_[index] : "";
}

const LoadedMods& GameLoadedMods() { return kGameMods; }

std::uint32_t ResolveGameFormText(const std::string& text) {
  return ResolveLoadIndependentFormText(text, false, kGameMods);
}

}  // namespace qx::papyrus
