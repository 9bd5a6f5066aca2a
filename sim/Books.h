#pragma once
// The simulated game's books and the data handler's book array.
#include <cstdint>
#include <string>
#include <vector>

#include "skse/GameBooks.h"
#include "skse/GameDataHandler.h"

namespace sim {

struct BookData {
  qx::game::FormID formID = 0;
  std::uint8_t flags = 0;          // kBookFlag_...
  std::uintptr_t teaches = 0;      // actor value index or SpellItem*
  std::string name;                // what the name part's slot 5 gives
  qx::game::BGSSoundDescriptorForm* soundUp = nullptr;
  qx::game::BGSSoundDescriptorForm* soundDown = nullptr;
};

// A book of class TESObjectBOOK with a working name part; it lives until the process ends.
[[nodiscard]] qx::game::TESObjectBOOK* MakeBook(const BookData& data);

// A data handler of its own (not the game's) whose book array holds `books` (nulls allowed),
// zero elsewhere; it lives until the process ends.
[[nodiscard]] qx::game::DataHandler* MakeDataHandlerWithBooks(const std::vector<qx::game::TESObjectBOOK*>& books);

// Gives the game's data handler (sim/DataHandler.h) this book array.
void SetDataHandlerBooks(const std::vector<qx::game::TESObjectBOOK*>& books);

}  // namespace sim
