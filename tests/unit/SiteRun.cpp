#include "tests/unit/SiteRun.h"

#include <algorithm>
#include <cstring>

#include "sim/GameRegion.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define QXT_UNPOISON(p, n) __asan_unpoison_memory_region((p), (n))
#else
#define QXT_UNPOISON(p, n) ((void)0)
#endif

extern "C" {
std::uint32_t qxtIn[7] asm("qxt_in");
std::uint32_t qxtOut[7] asm("qxt_out");
std::uint32_t qxtEntryEsp asm("qxt_entryEsp");
std::uint32_t qxtOutEsp asm("qxt_outEsp");
std::uint32_t qxtSavedEsp asm("qxt_savedEsp");
std::uint32_t qxtEntry asm("qxt_entry");
std::uint16_t qxtFpuStatus asm("qxt_fpuStatus");
double qxtSt0 asm("qxt_st0");
void EnterSite() asm("qxt_EnterSite");
void CatchSite() asm("qxt_CatchSite");
}

asm(".intel_syntax noprefix\n"
    ".pushsection .text\n"
    ".globl qxt_EnterSite\n"
    "qxt_EnterSite:\n"
    "  push ebx\n  push esi\n  push edi\n  push ebp\n"
    "  mov dword ptr [qxt_savedEsp], esp\n"
    "  mov esp, dword ptr [qxt_entryEsp]\n"
    "  mov eax, dword ptr [qxt_in + 0]\n"
    "  mov ebx, dword ptr [qxt_in + 4]\n"
    "  mov ecx, dword ptr [qxt_in + 8]\n"
    "  mov edx, dword ptr [qxt_in + 12]\n"
    "  mov esi, dword ptr [qxt_in + 16]\n"
    "  mov edi, dword ptr [qxt_in + 20]\n"
    "  mov ebp, dword ptr [qxt_in + 24]\n"
    "  jmp dword ptr [qxt_entry]\n"
    ".globl qxt_CatchSite\n"
    "qxt_CatchSite:\n"
    "  mov dword ptr [qxt_out + 0], eax\n"
    "  mov dword ptr [qxt_out + 4], ebx\n"
    "  mov dword ptr [qxt_out + 8], ecx\n"
    "  mov dword ptr [qxt_out + 12], edx\n"
    "  mov dword ptr [qxt_out + 16], esi\n"
    "  mov dword ptr [qxt_out + 20], edi\n"
    "  mov dword ptr [qxt_out + 24], ebp\n"
    "  mov dword ptr [qxt_outEsp], esp\n"
    "  fnstsw ax\n"
    "  mov word ptr [qxt_fpuStatus], ax\n"
    "  and ax, 0x3800\n"
    "  jz 1f\n"
    "  fstp qword ptr [qxt_st0]\n"
    "  fninit\n"
    "1:\n"
    "  mov esp, dword ptr [qxt_savedEsp]\n"
    "  pop ebp\n  pop edi\n  pop esi\n  pop ebx\n"
    "  ret\n"
    ".popsection\n"
    ".att_syntax prefix\n");

namespace qxtest {
namespace {

alignas(16) std::uint32_t gStack[16384];

}  // namespace

void RunSite(std::uintptr_t site, std::uintptr_t resume, SiteRun& run) {
  sim::PlaceRoutine(resume, reinterpret_cast<const void*>(&CatchSite));
  // Leave room below esp for what the code pushes, and above for words it may read.
  std::uint32_t* entry = gStack + 8192;
  // Frames of the code that ran here last time leave their marks in the sanitizer's shadow.
  QXT_UNPOISON(gStack, sizeof(gStack));
  std::fill(gStack, gStack + 16384, 0xCCCCCCCCu);
  std::copy(run.stack.begin(), run.stack.end(), entry);
  const Registers& in = run.in;
  std::uint32_t regs[7] = {in.eax, in.ebx, in.ecx, in.edx, in.esi, in.edi, in.ebp};
  std::memcpy(qxtIn, regs, sizeof(regs));
  qxtEntryEsp = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(entry));
  qxtEntry = static_cast<std::uint32_t>(site);
  qxtSt0 = 0.0;
  EnterSite();
  run.out = {qxtOut[0], qxtOut[1], qxtOut[2], qxtOut[3], qxtOut[4], qxtOut[5], qxtOut[6]};
  run.espMoved = static_cast<std::int32_t>(qxtOutEsp - qxtEntryEsp);
  int top = (qxtFpuStatus >> 11) & 7;
  run.x87Depth = top == 0 ? 0 : 8 - top;
  run.st0 = qxtSt0;
  QXT_UNPOISON(gStack, sizeof(gStack));
  std::copy(entry, entry + run.stack.size(), run.stack.begin());
}

}  // namespace qxtest
