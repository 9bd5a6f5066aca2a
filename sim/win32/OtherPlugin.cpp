#include "sim/OtherPlugin.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

using HookFn = std::uintptr_t (*)(std::uintptr_t, std::uint8_t);

HookFn LoadHookRoutine() {
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self, n);
  std::string path = folder.substr(0, folder.find_last_of("\\/") + 1) + OtherPlugin::FileName();
  HMODULE module = LoadLibraryA(path.c_str());
  auto hook = module == nullptr ? nullptr
                                : reinterpret_cast<HookFn>(reinterpret_cast<void*>(
                                      GetProcAddress(module, "OtherHooks_Hook")));
  if (hook == nullptr) {
    std::fprintf(stderr, "sim: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
    std::abort();
  }
  return hook;
}

}  // namespace

std::string OtherPlugin::FileName() { return "OtherHooks.dll"; }

std::uintptr_t OtherPlugin::Hook(const OtherHook& hook) {
  static const HookFn routine = LoadHookRoutine();
  return routine(hook.site, hook.opcode);
}

}  // namespace sim
