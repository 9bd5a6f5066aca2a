#pragma once
// Calling the game: every host routine is reached through a typed pointer made from its
// fixed address. Member routines of the game use thiscall (object in ecx, callee pops);
// plain routines use cdecl. Float results come back in ST0 either way.
#include <cstdint>

#define QX_THISCALL __attribute__((thiscall))
#define QX_CDECL __attribute__((cdecl))

namespace qx::host {

using Address = std::uintptr_t;

// The routine at `address`, typed as `Fn` (a function type carrying its calling convention).
template <typename Fn>
[[nodiscard]] inline Fn* Routine(Address address) noexcept {
  return reinterpret_cast<Fn*>(address);
}

// A global variable of the game.
template <typename T>
[[nodiscard]] inline T& Global(Address address) noexcept {
  return *reinterpret_cast<T*>(address);
}

// The function in virtual slot `slot` of a game object whose first word is its table.
template <typename Fn>
[[nodiscard]] inline Fn* VirtualSlot(const void* object, unsigned slot) noexcept {
  auto* table = *static_cast<Fn* const* const*>(object);
  return table[slot];
}

}  // namespace qx::host
