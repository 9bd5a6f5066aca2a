#include "sim/VmHeap.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>

#include "sim/GameRegion.h"
#include "skse/GameHeap.h"

namespace sim {
namespace {

struct HeapState {
  std::mutex lock;
  std::map<const void*, std::uint32_t> live;
  std::size_t freed = 0;
  std::uint32_t failSize = 0;
  int failTimes = 0;
  bool failAll = false;
};

HeapState& State() {
  static HeapState& state = *new HeapState;  // outlives every static destructor
  return state;
}

void* QX_THISCALL HostAllocate(void* heap, std::uint32_t size, std::uint32_t, std::uint32_t) {
  if (heap != reinterpret_cast<void*>(qx::game::kGameHeap)) {
    std::fprintf(stderr, "sim: heap allocate called on %p, not the game's heap\n", heap);
    std::abort();
  }
  return VmHeap::Allocate(size);
}

void QX_THISCALL HostFree(void* heap, void* block, std::uint32_t) {
  if (heap != reinterpret_cast<void*>(qx::game::kGameHeap)) {
    std::fprintf(stderr, "sim: heap free called on %p, not the game's heap\n", heap);
    std::abort();
  }
  VmHeap::Free(block);
}

}  // namespace

void VmHeap::PlaceRoutines() {
  PlaceRoutine(qx::game::kGameHeapAllocate, reinterpret_cast<const void*>(&HostAllocate));
  PlaceRoutine(qx::game::kGameHeapFree, reinterpret_cast<const void*>(&HostFree));
}

void* VmHeap::Allocate(std::uint32_t size) {
  HeapState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.failAll) return nullptr;
  if (state.failTimes > 0 && size == state.failSize) {
    --state.failTimes;
    return nullptr;
  }
  void* block = std::calloc(1, size != 0 ? size : 1);
  state.live[block] = size;
  return block;
}

void VmHeap::Free(void* block) {
  if (block == nullptr) return;
  HeapState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  auto found = state.live.find(block);
  if (found == state.live.end()) {
    std::fprintf(stderr, "sim: the game's heap was asked to free %p, which it never gave out\n", block);
    std::abort();
  }
  state.live.erase(found);
  ++state.freed;
  std::free(block);
}

bool VmHeap::IsLive(const void* block) {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().live.count(block) != 0;
}

std::size_t VmHeap::LiveBlocks() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().live.size();
}

std::size_t VmHeap::FreedBlocks() {
  std::lock_guard<std::mutex> guard(State().lock);
  return State().freed;
}

void VmHeap::FailEveryAllocation(bool fail) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().failAll = fail;
}

void VmHeap::FailAllocations(std::uint32_t size, int times) {
  std::lock_guard<std::mutex> guard(State().lock);
  State().failSize = size;
  State().failTimes = times;
}

}  // namespace sim
