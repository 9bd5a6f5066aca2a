#include "papyrus/GameLoadedMods.h"

#include "skse/GameDataHandler.h"

namespace qx::papyrus {
namespace {

class DataHandlerMods final : public LoadedMods {
 public:
  std::uint32_t IndexOf(const char* name) const override { return game::ModIndexOfFile(name); }
  const char* NameAt(std::uint32_t index) const override { return game::FileNameOfModIndex(index); }
};

const DataHandlerMods kGameMods;

}  // namespace

const LoadedMods& GameLoadedMods() { return kGameMods; }

std::uint32_t ResolveGameFormText(const std::string& text) {
  return ResolveLoadIndependentFormText(text, false, kGameMods);
}

}  // namespace qx::papyrus
