#pragma once
// Running the game's own code at a patched site. Site code is a few bytes of machine code at
// the site, as the game has them there (the patch overwrites their start); a catcher at the
// resume address hands control back. RunSite enters the site with the given registers,
// stack words, x87 values and floating-point controls (and a pattern of its own in every SSE
// register) and reports what the code left behind.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Registers {
  std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0, esi = 0, edi = 0, ebp = 0;
  bool operator==(const Registers&) const = default;
};

struct SiteEntry {
  std::uintptr_t address = 0;
  Registers registers;
  std::vector<std::uint32_t> stack;  // stack[0] at [esp], stack[1] at [esp+4], ...
  std::vector<double> fpu;           // loaded onto the x87 stack so that fpu[0] is ST0
  std::optional<std::uint16_t> fpuControl;  // absent: the runner's own
  std::optional<std::uint32_t> mxcsr;       // absent: the runner's own
};

struct SiteExit {
  std::uintptr_t resumedAt = 0;  // the catcher that took control back
  Registers registers;
  std::int32_t espDelta = 0;  // esp at the catcher minus esp at entry
  std::uint32_t eflags = 0;
  std::uint16_t fpuStatus = 0;
  unsigned fpuDepth = 0;  // registers on the x87 stack, from the status word's TOP
  double st0 = 0.0;       // the top of the x87 stack, when fpuDepth is above 0
  std::vector<std::uint32_t> stack;  // the entry's stack words as they are now
  // Bit n: xmm<n> no longer holds what the site was entered with. Code in the middle of a
  // game function may hold values there; only a call the game makes lets them change.
  unsigned xmmChanged = 0;
  // The whole floating-point state at the catcher as fxsave lays it out: control, status and
  // tag words, the x87 registers, MXCSR, xmm0..xmm7.
  std::array<std::uint8_t, 512> floatState{};

  [[nodiscard]] bool ZeroFlag() const { return (eflags & 0x40) != 0; }
  [[nodiscard]] float StackFloat(std::size_t byteOffset) const;
  [[nodiscard]] std::uint16_t FpuControl() const;
  [[nodiscard]] std::uint32_t Mxcsr() const;
};

inline constexpr std::size_t kMaxSiteStackWords = 64;
inline constexpr std::size_t kMaxSiteFpuValues = 8;

// Before the code is sealed: `code` at `site`, and a catcher at `resume`.
void PlaceSiteCode(std::uintptr_t site, std::initializer_list<std::uint8_t> code);
void PlaceResumeCatcher(std::uintptr_t resume);

// Enters `entry.address`; returns once a catcher is reached. One run at a time.
[[nodiscard]] SiteExit RunSite(const SiteEntry& entry);
// The same through the game's own bytes: a patch's branch at the site is set aside for the run.
[[nodiscard]] SiteExit RunSiteUnpatched(const SiteEntry& entry);

// What the game could see differ between two exits' floating-point states (empty when
// nothing): the control, status and tag words, each x87 register in use, MXCSR and every SSE
// register. The x87 unit's last instruction and operand addresses are left out.
[[nodiscard]] std::string FloatStateDifferences(const SiteExit& expected, const SiteExit& actual);

// The machine-code helpers: a rel32 in little-endian bytes, for site code.
[[nodiscard]] std::vector<std::uint8_t> RelBranch(std::uint8_t opcode, std::uintptr_t site,
                                                  std::uintptr_t target);

}  // namespace sim
