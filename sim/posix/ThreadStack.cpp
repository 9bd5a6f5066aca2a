#include "sim/ThreadStack.h"

#include <pthread.h>

#include <cstdint>

namespace sim {
namespace {

struct StackBounds {
  std::uintptr_t low = 0;
  std::size_t size = 0;  // 0: not known yet
};

// Asked once per thread: for the main thread the C library reads the process's memory map.
StackBounds BoundsOfThisThread() {
  StackBounds bounds;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return bounds;
  void* lowest = nullptr;
  std::size_t size = 0;
  if (pthread_attr_getstack(&attributes, &lowest, &size) == 0) {
    bounds.low = reinterpret_cast<std::uintptr_t>(lowest);
    bounds.size = size;
  }
  pthread_attr_destroy(&attributes);
  return bounds;
}

}  // namespace

bool OnThisThreadsStack(const void* address) noexcept {
  static thread_local StackBounds bounds;
  if (bounds.size == 0) bounds = BoundsOfThisThread();
  auto at = reinterpret_cast<std::uintptr_t>(address);
  return at >= bounds.low && at - bounds.low < bounds.size;
}

}  // namespace sim
