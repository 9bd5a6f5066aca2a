#include "sim/ThreadStack.h"

#include <windows.h>

namespace sim {

// A thread's stack is one reservation of address space: memory on it shares its base.
bool OnThisThreadsStack(const void* address) noexcept {
  static thread_local void* stackBase = nullptr;
  MEMORY_BASIC_INFORMATION found{};
  if (stackBase == nullptr) {
    int here = 0;
    if (VirtualQuery(&here, &found, sizeof found) == 0) return false;
    stackBase = found.AllocationBase;
  }
  return VirtualQuery(address, &found, sizeof found) != 0 && found.AllocationBase == stackBase;
}

}  // namespace sim
