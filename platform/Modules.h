#pragma once
// Which module of the process holds an address. Other plugins hook the game's code too; a
// branch that leaves the game's own image leads into one of them, and the log names it.
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace qx::platform {

struct AddressRange {
  std::uintptr_t begin;
  std::uintptr_t end;  // one past the last byte
  [[nodiscard]] constexpr bool Contains(std::uintptr_t address) const {
    return address >= begin && address < end;
  }
};

// The game executable's image: base and size from its PE header in the game's process;
// empty where no executable module holds the game.
[[nodiscard]] AddressRange MainModuleImage();

// The file name, without its folder, of the module whose image holds `address`; false (and
// an empty name) when no module does.
[[nodiscard]] bool ModuleFileNameAt(std::uintptr_t address, char (&name)[kMaxPath]);

// The full path of the module whose image holds `address` (the plugin's own DLL, from an
// address of its code), however long; false when no module does.
[[nodiscard]] bool ModulePathAt(std::uintptr_t address, std::string& path);

}  // namespace qx::platform
