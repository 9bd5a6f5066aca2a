#pragma once
// Every site the plugin patches, each with an entry that puts the game's registers and stack
// as they are there, on objects that let each feature's routine do its whole work: the
// plugin booted with every feature on and the game's data loaded. The benchmarks run these
// entries, and so do the tests that hold every site to one rule.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SiteRunner.h"

namespace sim {

struct EverySiteRun {
  std::string name;
  std::uintptr_t resume;
  SiteEntry entry;
  // The plugin's routine runs where the game makes a call: in its place, or right after one
  // that returns no float. The calling convention leaves the x87 stack empty there (but for
  // a float result) and the SSE registers to the callee; only the x87 control word and
  // MXCSR are the game's. Everywhere else the game may hold anything in the unit.
  bool atACall;
};

// Starts the game, boots the plugin with every feature on and sends the data-loaded
// message; empty when the plugin did not load. The objects live for the whole process.
[[nodiscard]] std::vector<EverySiteRun> BootWithEveryFeature();

}  // namespace sim
