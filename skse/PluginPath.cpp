#include "skse/PluginPath.h"

#include "platform/Platform.h"

namespace qx {

std::string GameFolder() {
  char executable[platform::kMaxPath];
  platform::GetMainExecutablePath(executable);
  platform::RemoveFileSpec(executable);
  return executable;
}

std::string MakePluginPath(const std::string& name) { return GameFolder() + "\\Data\\SKSE\\Plugins\\" + name; }

}  // namespace qx
