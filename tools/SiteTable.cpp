#include "tools/SiteTable.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "patching/PatchSites.h"
#include "plugin/InstallSteps.h"
#include "sim/GameRegion.h"

namespace qxtools {
namespace {

bool Changed(qx::host::Address site, const std::vector<sim::PatchedSite>& patched) {
  for (const sim::PatchedSite& written : patched) {
    if (written.site == site) return true;
  }
  return false;
}

// "call -> 01C0A2F0", or what else the site holds now.
std::string WhatItHolds(qx::host::Address site, const qx::SiteReading& reading) {
  if (!reading.isBranch) return "holds other code";
  char text[32];
  std::snprintf(text, sizeof text, "%s -> %08X",
                *reinterpret_cast<const std::uint8_t*>(site) == 0xE8 ? "call" : "jmp",
                static_cast<unsigned>(reading.target));
  return text;
}

std::string StateOf(qx::host::Address site, const std::string& pluginFile,
                    const std::vector<sim::PatchedSite>& patched) {
  if (!Changed(site, patched)) return "untouched";
  qx::SiteReading reading = qx::ReadSite(site);
  // In the simulated game only QXKit and the other plugins write code; another plugin's
  // branch leads out of the game into a module that is not QXKit's.
  bool other = reading.holder == qx::SiteHolder::kOtherModule && reading.module != pluginFile;
  std::string holder = other ? "taken by " + std::string(reading.module) : "QXKit's";
  return holder + " (" + WhatItHolds(site, reading) + ")";
}

}  // namespace

std::string DescribeInstallSites(const std::string& pluginFile) {
  std::string table;
  const std::vector<sim::PatchedSite> patched = sim::PatchedSites();  // one scan of the code
  for (const qx::InstallStep& step : qx::InstallSteps()) {
    for (const qx::StepSite& stepSite : step.sites) {
      qx::host::Address site = stepSite.span.site;
      char line[96];
      std::snprintf(line, sizeof line, "%08X  %-32s ", static_cast<unsigned>(site), step.feature);
      table += line + StateOf(site, pluginFile, patched) + "\n";
    }
  }
  return table;
}

}  // namespace qxtools
