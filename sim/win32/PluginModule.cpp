#include "sim/PluginModule.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "sim/win32/OsStandIns.h"

namespace sim {
namespace {

std::string gPluginPath;

std::string PluginPath() {
  if (!gPluginPath.empty()) return gPluginPath;
  if (const char* path = std::getenv("QXKIT_DLL"); path != nullptr && *path != '\0') return path;
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string folder(self, n);
  return folder.substr(0, folder.find_last_of("\\/") + 1) + "QXKit.dll";
}

PluginEntryPoints Load() {
  PluginEntryPoints plugin;
  plugin.origin = PluginPath();
  HMODULE module = LoadLibraryA(plugin.origin.c_str());
  if (module == nullptr) {
    std::fprintf(stderr, "sim: cannot load %s (error %lu)\n", plugin.origin.c_str(),
                 GetLastError());
    std::abort();
  }
  OsStandIns::HookImports(module);
  plugin.query = reinterpret_cast<decltype(plugin.query)>(
      reinterpret_cast<void*>(GetProcAddress(module, "SKSEPlugin_Query")));
  plugin.load = reinterpret_cast<decltype(plugin.load)>(
      reinterpret_cast<void*>(GetProcAddress(module, "SKSEPlugin_Load")));
  if (plugin.query == nullptr || plugin.load == nullptr) {
    std::fprintf(stderr, "sim: %s lacks SKSEPlugin_Query or SKSEPlugin_Load\n",
                 plugin.origin.c_str());
    std::abort();
  }
  return plugin;
}

}  // namespace

void UsePluginAt(std::string path) { gPluginPath = std::move(path); }

const PluginEntryPoints& LoadPluginModule() {
  static const PluginEntryPoints plugin = Load();
  return plugin;
}

}  // namespace sim
