#pragma once
// The game executable's code and data, at the fixed addresses of runtime 1.9.32.0. Its own
// relative calls and jumps never leave this range.
#include <cstdint>

namespace qx::game {

inline constexpr std::uintptr_t kGameImageBegin = 0x00401000;
inline constexpr std::uintptr_t kGameImageEnd = 0x01C00000;

}  // namespace qx::game
