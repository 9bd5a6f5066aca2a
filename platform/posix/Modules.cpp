#include "platform/Modules.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

namespace qx::platform {

// The Linux build has no game executable: the game is a region inside whatever program
// links the plugin, and the caller knows where.
AddressRange MainModuleImage() { return {0, 0}; }

bool ModuleFileNameAt(std::uintptr_t address, char (&name)[kMaxPath]) {
  name[0] = '\0';
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(address), &info) == 0 || info.dli_fname == nullptr) {
    return false;
  }
  const char* slash = std::strrchr(info.dli_fname, '/');
  const char* file = slash != nullptr ? slash + 1 : info.dli_fname;
  std::size_t length = std::strlen(file);
  if (length == 0 || length >= kMaxPath) return false;
  std::memcpy(name, file, length + 1);
  return true;
}

bool ModulePathAt(std::uintptr_t address, std::string& path) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(address), &info) == 0 || info.dli_fname == nullptr) return false;
  char* full = ::realpath(info.dli_fname, nullptr);
  if (full == nullptr) return false;
  path = full;
  std::free(full);
  return true;
}

}  // namespace qx::platform
