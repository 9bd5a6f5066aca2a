#pragma once
// Counts what the program takes from the heap through operator new: linked into benchmark
// programs and the unit tests only (it replaces the global operator new and delete), so that
// a benchmark can tell how often a hook path or a script function allocates and how much
// memory a file reader holds at most, and a test can run out of memory.
#include <cstddef>
#include <cstdint>

namespace sim {

struct HeapCount {
  std::uint64_t allocations = 0;
  std::uint64_t frees = 0;
  std::int64_t liveBytes = 0;
  std::int64_t peakBytes = 0;  // the most live bytes since the last ResetHeapPeak
};

[[nodiscard]] HeapCount CurrentHeapCount() noexcept;
// Starts a new peak from the bytes live now.
void ResetHeapPeak() noexcept;
// While on, the heap is exhausted: every operator new fails (the throwing forms throw
// std::bad_alloc).
void FailHeapAllocations(bool fail) noexcept;

}  // namespace sim
