#pragma once
#include <string>

namespace qx {

// The game folder (that of the process's executable), then "\Data\SKSE\Plugins\", then
// `name`. Nothing checks that the folder or the file exists.
[[nodiscard]] std::string MakePluginPath(const std::string& name);

}  // namespace qx
