#include "sim/OtherPlugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace sim {
namespace {

using HookFn = std::uintptr_t (*)(std::uintptr_t, std::uint8_t);

HookFn LoadHookRoutine() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string folder(self, n < 0 ? 0 : static_cast<std::size_t>(n));
  std::string path = folder.substr(0, folder.find_last_of('/') + 1) + OtherPlugin::FileName();
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto hook = module == nullptr ? nullptr
                                : reinterpret_cast<HookFn>(dlsym(module, "OtherHooks_Hook"));
  if (hook == nullptr) {
    std::fprintf(stderr, "sim: cannot load %s (%s)\n", path.c_str(), dlerror());
    std::abort();
  }
  return hook;
}

}  // namespace

std::string OtherPlugin::FileName() { return "OtherHooks.so"; }

std::uintptr_t OtherPlugin::Hook(const OtherHook& hook) {
  static const HookFn routine = LoadHookRoutine();
  return routine(hook.site, hook.opcode);
}

}  // namespace sim
