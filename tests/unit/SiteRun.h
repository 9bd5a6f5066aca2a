#pragma once
// Runs the game's code at a patched site: enters it with chosen registers and stack words
// (esp pointing at the first word) and catches control at the resume address, recording
// registers, the stack and the x87 stack there.
#include <cstdint>
#include <vector>

namespace qxtest {

struct Registers {
  std::uint32_t eax = 0xA0A0A0A0, ebx = 0xB0B0B0B0, ecx = 0xC0C0C0C0, edx = 0xD0D0D0D0;
  std::uint32_t esi = 0x51515151, edi = 0xD1D1D1D1, ebp = 0xBBBBBBBB;
};

struct SiteRun {
  Registers in;
  std::vector<std::uint32_t> stack;  // from esp upwards at entry; read back after the run
  Registers out;
  std::int32_t espMoved = 0;  // esp at the resume address minus esp at entry
  int x87Depth = 0;           // values left on the x87 stack
  double st0 = 0.0;           // the top one, when there is one
};

// Places a catch at `resume` and runs from `site`.
void RunSite(std::uintptr_t site, std::uintptr_t resume, SiteRun& run);

}  // namespace qxtest
