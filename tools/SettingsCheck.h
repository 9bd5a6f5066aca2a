#pragma once
// `qxkit check`: reads a qxKit.ini with the plugin's own reader and says what the plugin
// would make of it, and what probably is not what its writer meant.
#include <string>
#include <string_view>

namespace qxtools {

struct SettingsCheck {
  std::string report;  // human-readable, one finding per line
  int problems = 0;    // findings that need attention
};

// `bytes` is the content of the settings file at `path`; the priority overrides file it
// names is looked for beside it.
[[nodiscard]] SettingsCheck CheckSettings(const std::string& path, std::string_view bytes);

// Reads `path`, prints the report, and returns the exit code: 0 when nothing needs
// attention, 1 otherwise.
int RunSettingsCheck(const std::string& path);

// The number of single-character edits between two texts.
[[nodiscard]] std::size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace qxtools
