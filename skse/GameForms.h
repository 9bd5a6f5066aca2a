#pragma once
// The parts of the game's form objects that the plugin reads.
#include <cstddef>
#include <cstdint>

#include "skse/HostCall.h"

namespace qx::game {

// A form ID: the top byte is the mod index (0xFF for forms made while the game runs),
// the low 24 bits the local ID.
using FormID = std::uint32_t;
inline constexpr FormID kLocalIdMask = 0x00FFFFFF;
inline constexpr std::uint32_t kRuntimeModIndex = 0xFF;

struct TESForm {
  void* vtable;           // 00
  std::uint32_t unk04;    // 04
  std::uint32_t flags;    // 08
  FormID formID;          // 0C
};
static_assert(offsetof(TESForm, formID) == 0x0C);

inline constexpr host::Address kLookupFormByID = 0x00451A30;  // cdecl (FormID) -> TESForm* or null

using LookupFormByIDFn = TESForm* QX_CDECL(FormID formID);

[[nodiscard]] inline TESForm* LookupFormByID(FormID formID) noexcept {
  return host::Routine<LookupFormByIDFn>(kLookupFormByID)(formID);
}

}  // namespace qx::game
