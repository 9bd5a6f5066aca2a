#include "sim/PluginModule.h"

namespace sim {

void UsePluginAt(std::string) {}

const PluginEntryPoints& LoadPluginModule() {
  static const PluginEntryPoints plugin{&SKSEPlugin_Query, &SKSEPlugin_Load,
                                        "linked into this program"};
  return plugin;
}

}  // namespace sim
