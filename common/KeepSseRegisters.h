#pragma once
// C++ code that a trampoline runs in the middle of a game function, where the game may hold
// values in the SSE registers. Those trampolines keep the whole floating-point state around
// the routine (QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE); code between these two lines also computes its
// floats on the x87 unit and touches no SSE register, and what it calls keeps them too
// (LogMessage does). A float constant made with std::bit_cast belongs outside, as a
// constexpr: unoptimised builds call bit_cast.
#ifndef __clang__
#define QX_BEGIN_KEEPING_SSE_REGISTERS \
  _Pragma("GCC push_options") _Pragma("GCC target(\"no-sse,fpmath=387\")")
#define QX_END_KEEPING_SSE_REGISTERS _Pragma("GCC pop_options")
#else
// clang builds only the fuzz targets, which run no patched site.
#define QX_BEGIN_KEEPING_SSE_REGISTERS
#define QX_END_KEEPING_SSE_REGISTERS
#endif
