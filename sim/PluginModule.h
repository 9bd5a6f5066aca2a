#pragma once
// The plugin as the script extender finds it: its two exports. In the Windows build that is
// the real QXKit.dll, loaded from beside the program (or from QXKIT_DLL); in the Linux build
// the same sources are linked in.
#include <string>

#include "skse/PluginAPI.h"

namespace sim {

struct PluginEntryPoints {
  bool (*query)(const qx::skse::SKSEInterface*, qx::skse::PluginInfo*) = nullptr;
  bool (*load)(const qx::skse::SKSEInterface*) = nullptr;
  std::string origin;  // where the plugin came from, for messages
};

// Takes the plugin DLL from `path` instead (Windows build; the Linux build links it in).
void UsePluginAt(std::string path);

// Loads the plugin once per process; aborts with a message when it cannot be found.
[[nodiscard]] const PluginEntryPoints& LoadPluginModule();

}  // namespace sim
