#pragma once
// Another plugin loaded into the game beside QXKit, hooking the game's code as many do. It
// is a module of its own, loaded from beside the program the first time it is used.
#include <cstdint>
#include <string>

namespace sim {

struct OtherHook {
  std::uintptr_t site;
  std::uint8_t opcode;  // 0xE8 call or 0xE9 jmp
};

class OtherPlugin {
 public:
  // Its file name, as the module list names it.
  [[nodiscard]] static std::string FileName();
  // Writes its branch at the site into its own code (whatever the page protection) and
  // returns where the branch leads.
  static std::uintptr_t Hook(const OtherHook& hook);
};

}  // namespace sim
