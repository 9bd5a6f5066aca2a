#pragma once
// The simulated game process: its code region with host routines and globals, its folders,
// the script extender, and the plugin loaded into it. Like the game, a process boots the
// plugin once.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/OtherPlugin.h"
#include "sim/ScriptExtender.h"

namespace sim {

struct BootOptions {
  // The text of Data\SKSE\Plugins\qxKit.ini; no value leaves the file missing.
  std::optional<std::string> settings;
  ScriptExtenderOptions scriptExtender;
  bool documentsUnavailable = false;
  // Hooks another plugin, loaded before QXKit, writes into the game's code.
  std::vector<OtherHook> hooksBeforeLoad;
};

struct BootResult {
  bool queried = false;  // what SKSEPlugin_Query returned
  bool loaded = false;   // what SKSEPlugin_Load returned (false when it was not called)
  qx::skse::PluginInfo info{};
};

class Game {
 public:
  // Builds the game region with its routines and globals and the folders; idempotent.
  static void Start();
  // Start, write the settings, then Query and, when it accepts, Load, as the script
  // extender does. Aborts when called twice in one process.
  static BootResult Boot(const BootOptions& options);

  // Messages of the script extender.
  static void SendDataLoaded();
  static void SendPostLoadGame(std::uintptr_t data = 1);
};

}  // namespace sim
