#pragma once
// A loaded-plugin list made from fuzz input: names in load order, looked up as the game does
// (case-insensitive); 255 for a name that is not loaded.
#include <strings.h>

#include <cstdint>
#include <string>
#include <vector>

#include "papyrus/text/GameLoadedMods.h"

namespace qxfuzz {

class InputMods final : public qx::papyrus::LoadedMods {
 public:
  std::vector<std::string> names;
  std::uint32_t IndexOf(const char* name) const override {
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (strcasecmp(names[i].c_str(), name) == 0) return static_cast<std::uint32_t>(i);
    }
    return 255;
  }
  const char* NameAt(std::uint32_t index) const override {
    return index < names.size() ? names[index].c_str() : "";
  }
};

}  // namespace qxfuzz
