#pragma once
// Camera and sound sites: boot with a settings text, build the game's camera objects, let
// the data-loaded message reach the plugin, then run the game's code at a site.
#include <cstring>

#include "sim/CameraScene.h"
#include "sim/SiteRunner.h"
#include "tests/host/HostFixture.h"

namespace qxtest {

inline std::uint32_t Word(const void* pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

inline std::uint32_t FloatBits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// Whether the game's own code at a site makes a call: after one it relies on nothing in the
// SSE registers, which every calling convention lets the callee change.
enum class SiteCalls { kNo, kYes };

// The SSE registers as the game had them, where its code runs on in the middle of a function.
inline void ExpectSseRegistersKept(const sim::SiteExit& exit) {
  EXPECT_EQ(exit.xmmChanged, 0u) << "bit n: xmm<n> changed";
}

// Registers that no trampoline may change, and the stack and x87 depth as the game left them.
inline void ExpectGameStateKept(const sim::SiteEntry& entry, const sim::SiteExit& exit,
                                std::uintptr_t resume, SiteCalls calls = SiteCalls::kNo) {
  EXPECT_EQ(exit.resumedAt, resume);
  EXPECT_EQ(exit.espDelta, 0);
  EXPECT_EQ(exit.fpuDepth, entry.fpu.size());
  EXPECT_EQ(exit.registers.esi, entry.registers.esi);
  EXPECT_EQ(exit.registers.ebp, entry.registers.ebp);
  if (calls == SiteCalls::kNo) ExpectSseRegistersKept(exit);
}

inline std::size_t CountLines(const std::vector<std::string>& lines, const std::string& line) {
  std::size_t n = 0;
  for (const std::string& l : lines) n += l == line ? 1 : 0;
  return n;
}

// Registers the game has everywhere else, so that a change shows.
inline sim::Registers MarkedRegisters() {
  return {0xA0A0A0A0, 0xB0B0B0B0, 0xC0C0C0C0, 0xD0D0D0D0, 0, 0xE0E0E0E0, 0xF0F0F0F0};
}

}  // namespace qxtest
