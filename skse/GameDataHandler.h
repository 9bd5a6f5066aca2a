#pragma once
// The game's data handler: the list of loaded plugin files, in load order, and the array of
// every book the game loaded.
#include <cstddef>
#include <cstdint>
#include <span>

#include "skse/GameGlobals.h"

namespace qx::game {

struct LoadedModRecord {
  std::uint8_t unk00[0x20];  // 00
  char name[0x104];          // 20 plugin file name, zero-terminated
};
static_assert(offsetof(LoadedModRecord, name) == 0x20);

struct LoadedModNode {
  LoadedModRecord* record;  // 00 null in the first node of an empty list
  LoadedModNode* next;      // 04 null after the last node
};
static_assert(offsetof(LoadedModNode, next) == 0x04);

struct TESObjectBOOK;

struct DataHandler {
  std::uint8_t unk000[0x14C];          // 000
  TESObjectBOOK** books;               // 14C first element; elements may be null
  std::uint32_t unk150;                // 150
  std::uint32_t bookCount;             // 154
  std::uint8_t unk158[0x694 - 0x158];  // 158
  LoadedModNode loadedMods;            // 694 first node, embedded

  // Every book the game loaded, in the data handler's order.
  [[nodiscard]] std::span<TESObjectBOOK* const> Books() const noexcept {
    if (books == nullptr) return {};
    return {books, bookCount};
  }
};
static_assert(offsetof(DataHandler, books) == 0x14C);
static_assert(offsetof(DataHandler, bookCount) == 0x154);
static_assert(offsetof(DataHandler, loadedMods) == 0x694);

inline constexpr std::uint32_t kModIndexNotLoaded = 0xFF;

// The position of the plugin file named `name` (ASCII case ignored) in the loaded-mod list,
// as a byte; kModIndexNotLoaded when it is not loaded or there is no data handler yet.
[[nodiscard]] std::uint32_t ModIndexOfFile(const char* name) noexcept;
// The file name at `index` in the list; the empty text past its end.
[[nodiscard]] const char* FileNameOfModIndex(std::uint32_t index) noexcept;

}  // namespace qx::game
