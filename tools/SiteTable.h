#pragma once
// What `qxkit boot` shows of each site QXKit's install steps may write: QXKit's branch,
// another module's, or the game's own code as it was.
#include <string>

namespace qxtools {

// One line per site of every install step, in install order. `pluginFile` is the file name
// of the module that holds the plugin's code.
[[nodiscard]] std::string DescribeInstallSites(const std::string& pluginFile);

}  // namespace qxtools
