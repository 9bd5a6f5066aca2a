#include "skse/GameDataHandler.h"

namespace qx::game {
namespace {

const DataHandler* TheDataHandler() noexcept {
  return host::Global<const DataHandler*>(kDataHandlerSingleton);
}

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const char* a, const char* b) noexcept {
  for (;; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

}  // namespace

std::uint32_t ModIndexOfFile(const char* name) noexcept {
  const DataHandler* handler = TheDataHandler();
  if (handler == nullptr || name == nullptr) return kModIndexNotLoaded;
  std::uint32_t position = 0;
  for (const LoadedModNode* node = &handler->loadedMods; node != nullptr; node = node->next) {
    if (node->record == nullptr) break;
    if (EqualIgnoringCase(node->record->name, name)) return position & 0xFF;
    ++position;
  }
  return kModIndexNotLoaded;
}

const char* FileNameOfModIndex(std::uint32_t index) noexcept {
  const DataHandler* handler = TheDataHandler();
  if (handler == nullptr) return "";
  const LoadedModNode* node = &handler->loadedMods;
  for (std::uint32_t i = 0; i < index && node != nullptr; ++i) node = node->next;
  if (node == nullptr || node->record == nullptr) return "";
  return node->record->name;
}

}  // namespace qx::game
