#include "patching/PatchSites.h"

#include <cstring>
#include <string>

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "platform/Modules.h"
#include "skse/GameImage.h"

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

// The game executable's image; the Linux build only simulates the game, at its fixed
// addresses, and has no module for it.
platform::AddressRange GameImage() {
  platform::AddressRange image = platform::MainModuleImage();
  return image.begin != image.end ? image
                                  : platform::AddressRange{game::kGameImageBegin, game::kGameImageEnd};
}

// Which module holds `target`: the game's image is the game executable (which the module
// list cannot name in the Linux build).
void NameModuleAt(host::Address target, char (&name)[platform::kMaxPath]) {
  if (GameImage().Contains(target)) {
    std::string path = platform::MainExecutablePath();
    const char* file = FileNameOf(path.c_str());
    std::size_t length = std::strlen(file);
    if (length != 0 && length < sizeof name) {
      std::memcpy(name, file, length + 1);
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

// A stretch as it stood right after QXKit wrote its site. Written only by Load, on one
// thread, before the data-loaded message reads it.
struct WrittenSpan {
  host::PatchSpan span;
  std::uint8_t bytes[host::kMaxPatchSpanBytes];
  bool reported;
};
WrittenSpan gWrittenSpans[kMaxWrittenBranches];
std::size_t gWrittenSpanCount = 0;

// Where a branch that is not QXKit's now begins among the stretch's changed bytes (read into
// `reading`), or 0.
host::Address ChangedBranchIn(const WrittenSpan& written, SiteReading& reading) {
  const auto* now = reinterpret_cast<const std::uint8_t*>(written.span.site);
  for (std::size_t offset = 0; offset < written.span.Bytes(); ++offset) {
    if (now[offset] == written.bytes[offset]) continue;
    // A branch written by another module begins where its bytes begin to differ, or just
    // before when its first byte happens to match.
    for (std::size_t back = 0; back <= offset && back < kRelBranchSize; ++back) {
      host::Address at = written.span.site + offset - back;
      reading = ReadSite(at);
      if (reading.isBranch && reading.holder != SiteHolder::kQXKit) return at;
    }
    return 0;
  }
  return 0;
}

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
  } else if (!GameImage().Contains(reading.target)) {
    reading.holder = SiteHolder::kOtherModule;
  }
  return reading;
}

bool StepSitesAreFree(const char* feature, std::span<const host::PatchSpan> spans) {
  auto isFree = [feature](host::Address start) {
    SiteReading reading = ReadSite(start);
    if (reading.holder != SiteHolder::kOtherModule) return true;
    LogMessage("QX Inject: %s not installed: 0x%08X already branches to 0x%08X (%s)", feature,
               static_cast<unsigned>(start), static_cast<unsigned>(reading.target), reading.module);
    return false;
  };
  for (const host::PatchSpan& span : spans) {
    if (!isFree(span.site)) return false;
    for (host::Address start : span.laterInstructions) {
      if (!isFree(start)) return false;
    }
  }
  return true;
}

void RememberWrittenSpans(std::span<const host::PatchSpan> spans) {
  for (const host::PatchSpan& span : spans) {
    if (WrittenAt(span.site) == nullptr || gWrittenSpanCount == kMaxWrittenBranches) continue;
    WrittenSpan& written = gWrittenSpans[gWrittenSpanCount++];
    written.span = span;
    std::memcpy(written.bytes, reinterpret_cast<const void*>(span.site), span.Bytes());
    written.reported = false;
  }
}

void ReportOverwrittenBranches() {
  for (std::size_t i = 0; i < gWrittenSpanCount; ++i) {
    WrittenSpan& written = gWrittenSpans[i];
    if (written.reported) continue;
    if (std::memcmp(reinterpret_cast<const void*>(written.span.site), written.bytes, written.span.Bytes()) == 0) {
      continue;
    }
    written.reported = true;
    auto site = static_cast<unsigned>(written.span.site);
    SiteReading reading{};
    if (ChangedBranchIn(written, reading) != 0) {
      LogMessage("QX Inject: 0x%08X no longer holds QXKit's patch; it now branches to 0x%08X (%s)",
                 site, static_cast<unsigned>(reading.target), reading.module);
    } else {
      LogMessage("QX Inject: 0x%08X no longer holds QXKit's patch; it now holds other code", site);
    }
  }
}

}  // namespace qx
