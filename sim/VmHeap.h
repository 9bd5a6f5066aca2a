#pragma once
// The game's heap (the object at 0x01B418B0 with its allocate and free routines), kept
// apart from the C++ heap so that tests see which heap a block came from and went back to.
#include <cstddef>
#include <cstdint>

namespace sim {

class VmHeap {
 public:
  static void PlaceRoutines();
  // The game's own allocations (class infos, identifiers, arrays) go through here too.
  [[nodiscard]] static void* Allocate(std::uint32_t size);
  static void Free(void* block);

  [[nodiscard]] static bool IsLive(const void* block);
  [[nodiscard]] static std::size_t LiveBlocks();
  [[nodiscard]] static std::size_t FreedBlocks();
  // The next `times` requests for `size` bytes fail, as an exhausted heap would.
  static void FailAllocations(std::uint32_t size, int times);
  // Every request fails until this is called again with false. The game's own routines
  // that allocate (constructors, arrays, identifiers) then report failure as they can.
  static void FailEveryAllocation(bool fail);
};

}  // namespace sim
