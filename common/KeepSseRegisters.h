#pragma once
// C++ code that a trampoline runs in the middle of a game function, where the game may hold
// values in the SSE registers: the trampolines save the general registers only (saving the
// eight SSE ones would double a patch's length on paths that run many times per frame). Code
// between these two lines computes its floats on the x87 unit, as the game does, and touches
// no SSE register; what it calls must keep them too (LogMessage does). A float constant
// made with std::bit_cast belongs outside, as a constexpr: unoptimised builds call bit_cast.
#ifndef __clang__
#define QX_BEGIN_KEEPING_SSE_REGISTERS \
  _Pragma("GCC push_options") _Pragma("GCC target(\"no-sse,fpmath=387\")")
#define QX_END_KEEPING_SSE_REGISTERS _Pragma("GCC pop_options")
#else
// clang builds only the fuzz targets, which run no patched site.
#define QX_BEGIN_KEEPING_SSE_REGISTERS
#define QX_END_KEEPING_SSE_REGISTERS
#endif
