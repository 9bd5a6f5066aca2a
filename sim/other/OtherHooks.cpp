// Another plugin, as the game sees many: it writes its own five-byte call or jump at a site
// of the game's code, into a routine of its own. Built as a module of its own (a DLL in the
// Windows build, a shared object in the Linux build) so that its code lies outside both the
// game's image and QXKit.
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#define OTHER_HOOKS_EXPORT extern "C" __declspec(dllexport)
#else
#include <sys/mman.h>
#include <unistd.h>
#define OTHER_HOOKS_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

// Where its hooks lead. Never run by the tests; it only has to lie in this module.
extern "C" void OtherHooksDetour() { asm volatile("" ::: "memory"); }

void WriteBytes(std::uintptr_t site, const std::uint8_t (&bytes)[5]) {
  void* at = reinterpret_cast<void*>(site);
#ifdef _WIN32
  DWORD old = 0;
  VirtualProtect(at, sizeof bytes, PAGE_EXECUTE_READWRITE, &old);
  std::memcpy(at, bytes, sizeof bytes);
  VirtualProtect(at, sizeof bytes, old, &old);
#else
  auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  std::uintptr_t first = site & ~(page - 1);
  std::size_t span = (site + sizeof bytes - first + page - 1) & ~(page - 1);
  mprotect(reinterpret_cast<void*>(first), span, PROT_READ | PROT_WRITE | PROT_EXEC);
  std::memcpy(at, bytes, sizeof bytes);
  mprotect(reinterpret_cast<void*>(first), span, PROT_READ | PROT_EXEC);
#endif
}

}  // namespace

// Writes `opcode` (0xE8 or 0xE9) at `site`, leading into this module; returns the target.
OTHER_HOOKS_EXPORT std::uintptr_t OtherHooks_Hook(std::uintptr_t site, std::uint8_t opcode) {
  auto target = reinterpret_cast<std::uintptr_t>(&OtherHooksDetour);
  auto displacement = static_cast<std::uint32_t>(target - (site + 5));
  std::uint8_t bytes[5] = {opcode};
  std::memcpy(&bytes[1], &displacement, sizeof displacement);
  WriteBytes(site, bytes);
  return target;
}
