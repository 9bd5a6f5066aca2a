#pragma once
// State that start-up owns. It lives for the whole process and is never freed.
#include <cstdint>

#include "skse/PluginAPI.h"

namespace qx {

class ProjectIni;

namespace plugin {

inline std::uint32_t gPluginHandle = skse::kInvalidPluginHandle;
// The one settings object, created by Load before the file is read.
inline ProjectIni* gSettings = nullptr;
// Whether qxKit.ini was read; false keeps every feature off.
inline bool gSettingsRead = false;
inline const skse::SKSEPapyrusInterface* gPapyrus = nullptr;

}  // namespace plugin
}  // namespace qx
