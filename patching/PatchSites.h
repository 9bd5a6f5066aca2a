#pragma once
// Other plugins write jumps into the game's code too. Before a step writes its branches it
// looks at its sites, and once the game's data has loaded every branch QXKit wrote is read
// back, so that the log says which module took a site rather than a feature failing
// silently.
#include <cstdint>
#include <span>

#include "platform/Platform.h"
#include "skse/HostCall.h"
#include "skse/PatchSpan.h"

namespace qx {

enum class SiteHolder {
  kGame,         // the game's own code, a branch within its image included
  kQXKit,        // exactly the branch QXKit wrote there
  kOtherModule,  // a call or jump out of the game's image that QXKit did not write
};

struct SiteReading {
  SiteHolder holder;
  bool isBranch;          // the site begins with a five-byte relative call or jump
  host::Address target;   // where that branch leads
  char module[platform::kMaxPath];  // the file holding the target, or "unknown module"
};

[[nodiscard]] SiteReading ReadSite(host::Address site);

// Whether a step may write: false, with the step's "not installed" line logged, when one
// of the game's instructions in the stretches it would take over (its site or a later one)
// already begins with a branch into another module. Nothing is written either way.
[[nodiscard]] bool StepSitesAreFree(const char* feature, std::span<const host::PatchSpan> spans);

// Keeps the bytes of each stretch whose site QXKit has just written (its branch and the
// game's code after it), to be read back once other plugins have had their turn.
void RememberWrittenSpans(std::span<const host::PatchSpan> spans);

// Logs, once each, the stretches of QXKit's that another module has written into since, at
// the site or after it. Nothing is rewritten: the other plugin's choice stands.
void ReportOverwrittenBranches();

}  // namespace qx
