#include "platform/PageProtection.h"

#include <windows.h>

namespace qx::platform {

PageProtectionChange MakeWritable(std::uintptr_t address, std::size_t size) {
  DWORD old = 0;
  VirtualProtect(reinterpret_cast<void*>(address), size, PAGE_EXECUTE_READWRITE, &old);
  return {address, size, {old, old}};
}

void RestoreProtection(const PageProtectionChange& change) {
  DWORD ignored = 0;
  VirtualProtect(reinterpret_cast<void*>(change.address), change.size, change.previous[0], &ignored);
}

}  // namespace qx::platform
