#pragma once
// The game's own heap. Objects handed to the script VM come from it and go back to it.
#include <cstdint>

#include "skse/HostCall.h"

namespace qx::game {

inline constexpr host::Address kGameHeap = 0x01B418B0;          // the heap object itself
inline constexpr host::Address kGameHeapAllocate = 0x00A48D60;  // thiscall (size, 0, 0) -> block or null
inline constexpr host::Address kGameHeapFree = 0x00A487B0;      // thiscall (block, 0)

using GameHeapAllocateFn = void* QX_THISCALL(void* heap, std::uint32_t size, std::uint32_t,
                                             std::uint32_t);
using GameHeapFreeFn = void QX_THISCALL(void* heap, void* block, std::uint32_t);

[[nodiscard]] inline void* GameHeapAllocate(std::uint32_t size) noexcept {
  return host::Routine<GameHeapAllocateFn>(kGameHeapAllocate)(reinterpret_cast<void*>(kGameHeap),
                                                              size, 0, 0);
}

inline void GameHeapFree(void* block) noexcept {
  host::Routine<GameHeapFreeFn>(kGameHeapFree)(reinterpret_cast<void*>(kGameHeap), block, 0);
}

}  // namespace qx::game
