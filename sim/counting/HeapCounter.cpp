#include "sim/counting/HeapCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace sim {
namespace {

std::atomic<std::uint64_t> gAllocations{0};
std::atomic<std::uint64_t> gFrees{0};
std::atomic<std::int64_t> gLiveBytes{0};
std::atomic<std::int64_t> gPeakBytes{0};
std::atomic<bool> gFailing{false};

// Each block carries its size in front, so that a free knows how many bytes it returns;
// 16 bytes keep the block as aligned as malloc's.
constexpr std::size_t kHeader = 16;

void* Take(std::size_t size) noexcept {
  if (gFailing.load(std::memory_order_relaxed)) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<std::size_t*>(block) = size;
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  std::int64_t live = gLiveBytes.fetch_add(static_cast<std::int64_t>(size), std::memory_order_relaxed) +
                      static_cast<std::int64_t>(size);
  std::int64_t peak = gPeakBytes.load(std::memory_order_relaxed);
  while (live > peak && !gPeakBytes.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
  }
  return block + kHeader;
}

void Give(void* memory) noexcept {
  if (memory == nullptr) return;
  unsigned char* block = static_cast<unsigned char*>(memory) - kHeader;
  gFrees.fetch_add(1, std::memory_order_relaxed);
  gLiveBytes.fetch_sub(static_cast<std::int64_t>(*reinterpret_cast<std::size_t*>(block)),
                       std::memory_order_relaxed);
  std::free(block);
}

void* TakeOrThrow(std::size_t size) {
  void* memory = Take(size);
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

}  // namespace

HeapCount CurrentHeapCount() noexcept {
  HeapCount count;
  count.allocations = gAllocations.load();
  count.frees = gFrees.load();
  count.liveBytes = gLiveBytes.load();
  count.peakBytes = gPeakBytes.load();
  return count;
}

void ResetHeapPeak() noexcept { gPeakBytes.store(gLiveBytes.load()); }

void FailHeapAllocations(bool fail) noexcept { gFailing.store(fail); }

}  // namespace sim

void* operator new(std::size_t size) { return sim::TakeOrThrow(size); }
void* operator new[](std::size_t size) { return sim::TakeOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return sim::Take(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return sim::Take(size); }
void operator delete(void* memory) noexcept { sim::Give(memory); }
void operator delete[](void* memory) noexcept { sim::Give(memory); }
void operator delete(void* memory, std::size_t) noexcept { sim::Give(memory); }
void operator delete[](void* memory, std::size_t) noexcept { sim::Give(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { sim::Give(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { sim::Give(memory); }
