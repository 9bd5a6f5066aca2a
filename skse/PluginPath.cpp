#include "skse/PluginPath.h"

#include "platform/Platform.h"

namespace qx {

std::string MakePluginPath(const std::string& name) {
  char executable[platform::kMaxPath];
  platform::GetMainExecutablePath(executable);
  platform::RemoveFileSpec(executable);
  return std::string(executable) + "\\Data\\SKSE\\Plugins\\" + name;
}

}  // namespace qx
