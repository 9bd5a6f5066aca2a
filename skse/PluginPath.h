#pragma once
#include <string>

namespace qx {

// The game folder: that of the process's executable, without a trailing "\".
[[nodiscard]] std::string GameFolder();

// The game folder, then "\Data\SKSE\Plugins\", then
// `name`. Nothing checks that the folder or the file exists.
[[nodiscard]] std::string MakePluginPath(const std::string& name);

}  // namespace qx
