#include "skse/PluginPath.h"

#include "platform/Platform.h"

namespace qx {

std::string GameFolder() {
  std::string folder = platform::MainExecutablePath();
  platform::RemoveFileSpec(folder);
  return folder;
}

std::string MakePluginPath(const std::string& name) { return GameFolder() + "\\Data\\SKSE\\Plugins\\" + name; }

}  // namespace qx
