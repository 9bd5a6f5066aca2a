#pragma once
// A stretch of the game's code that a patch takes over: QXKit's five-byte branch goes at the
// site, its trampoline gives control back at the resume address, and the game's instructions
// in between never run. Another module's branch at the start of any of them would be cut by
// QXKit's bytes or skipped by its trampoline, so each start is named: the site, and the
// later ones where the stretch holds more than one instruction.
#include <cstddef>
#include <span>

#include "skse/HostCall.h"

namespace qx::host {

struct PatchSpan {
  Address site;
  Address resume;
  std::span<const Address> laterInstructions;  // in order, after the site

  [[nodiscard]] constexpr std::size_t Bytes() const noexcept { return resume - site; }
};

// The longest stretch a patch takes over (the tween menu's zoom: 38 bytes).
inline constexpr std::size_t kMaxPatchSpanBytes = 40;

}  // namespace qx::host
