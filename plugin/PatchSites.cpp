#include "plugin/PatchSites.h"

#include <cstring>

#include "common/IDebugLog.h"
#include "platform/Modules.h"
#include "plugin/CodePatch.h"

namespace qx {
namespace {

constexpr const char kUnknownModule[] = "unknown module";

const char* FileNameOf(const char* path) {
  const char* file = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') file = p + 1;
  }
  return file;
}

// Which module holds `target`: the game's image is the game executable (which the Linux
// build only simulates, so the module list cannot name it there).
void NameModuleAt(host::Address target, char (&name)[platform::kMaxPath]) {
  if (platform::MainModuleImage().Contains(target)) {
    char path[platform::kMaxPath];
    platform::GetMainExecutablePath(path);
    const char* file = FileNameOf(path);
    if (*file != '\0') {
      std::memcpy(name, file, std::strlen(file) + 1);
      return;
    }
  }
  if (!platform::ModuleFileNameAt(target, name)) {
    std::memcpy(name, kUnknownModule, sizeof kUnknownModule);
  }
}

const WrittenBranch* WrittenAt(host::Address site) {
  for (const WrittenBranch& branch : WrittenBranches()) {
    if (branch.site == site) return &branch;
  }
  return nullptr;
}

bool reportedOverwritten[kMaxWrittenBranches] = {};

}  // namespace

SiteReading ReadSite(host::Address site) {
  std::uint8_t bytes[kRelBranchSize];
  std::memcpy(bytes, reinterpret_cast<const void*>(site), sizeof bytes);
  SiteReading reading{SiteHolder::kGame, false, 0, {}};
  reading.isBranch = bytes[0] == kOpcodeCall || bytes[0] == kOpcodeJump;
  if (!reading.isBranch) return reading;

  std::uint32_t displacement = 0;
  std::memcpy(&displacement, &bytes[1], sizeof displacement);
  reading.target = site + kRelBranchSize + displacement;
  NameModuleAt(reading.target, reading.module);

  const WrittenBranch* ours = WrittenAt(site);
  if (ours != nullptr && std::memcmp(ours->bytes, bytes, sizeof bytes) == 0) {
    reading.holder = SiteHolder::kQXKit;
  } else if (!platform::MainModuleImage().Contains(reading.target)) {
    reading.holder = SiteHolder::kOtherModule;
  }
  return reading;
}

bool StepSitesAreFree(const char* feature, std::span<const host::Address> sites) {
  for (host::Address site : sites) {
    SiteReading reading = ReadSite(site);
    if (reading.holder != SiteHolder::kOtherModule) continue;
    LogMessage("QX Inject: %s not installed: 0x%08X already branches to 0x%08X (%s)", feature,
               static_cast<unsigned>(site), static_cast<unsigned>(reading.target), reading.module);
    return false;
  }
  return true;
}

void ReportOverwrittenBranches() {
  std::span<const WrittenBranch> written = WrittenBranches();
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (reportedOverwritten[i]) continue;
    SiteReading reading = ReadSite(written[i].site);
    if (reading.holder == SiteHolder::kQXKit) continue;
    reportedOverwritten[i] = true;
    auto site = static_cast<unsigned>(written[i].site);
    if (reading.isBranch) {
      LogMessage("QX Inject: 0x%08X no longer holds QXKit's patch; it now branches to 0x%08X (%s)",
                 site, static_cast<unsigned>(reading.target), reading.module);
    } else {
      LogMessage("QX Inject: 0x%08X no longer holds QXKit's patch; it now holds other code", site);
    }
  }
}

}  // namespace qx
