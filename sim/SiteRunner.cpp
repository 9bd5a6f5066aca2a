#include "sim/SiteRunner.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/GameRegion.h"

namespace sim {

// Shared with the assembly below, which addresses it by these offsets.
struct SiteMachine {
  std::uint32_t in[7];                             // 00 eax..ebp to enter with
  std::uint32_t entry;                             // 1C
  std::uint32_t stackCount;                        // 20
  std::uint32_t fpuCount;                          // 24
  std::uint32_t out[7];                            // 28 eax..ebp at the catcher
  std::uint32_t outEsp;                            // 44
  std::uint32_t outEflags;                         // 48
  std::uint32_t entryEsp;                          // 4C
  std::uint32_t hostEsp;                           // 50 the runner's own esp
  std::uint32_t resumedAt;                         // 54 written by the catcher's stub
  std::uint8_t fpuEnvOut[28];                      // 58
  std::uint8_t fpuEnvHost[28];                     // 74
  std::uint32_t stack[kMaxSiteStackWords];         // 90
  std::uint32_t stackOut[kMaxSiteStackWords];      // 190
  double fpu[kMaxSiteFpuValues];                   // 290
  std::uint32_t scratch[4];                        // 2D0 a stack for reading the flags
  double st0;                                      // 2E0 ST0 at the catcher (NaN when empty)
  std::uint32_t pad;                               // 2E8
  std::uint32_t pad2;                              // 2EC
  std::uint8_t xmmIn[8][16];                       // 2F0 xmm0..xmm7 to enter with
  std::uint32_t fpuControl;                        // 370 the x87 control word to enter with
  std::uint32_t mxcsr;                             // 374 MXCSR to enter with
  std::uint32_t hostMxcsr;                         // 378 the runner's own
  std::uint32_t pad3;                              // 37C
  alignas(16) std::uint8_t floatOut[512];          // 380 fxsave at the catcher
};
static_assert(offsetof(SiteMachine, entry) == 0x1C);
static_assert(offsetof(SiteMachine, out) == 0x28);
static_assert(offsetof(SiteMachine, outEsp) == 0x44);
static_assert(offsetof(SiteMachine, resumedAt) == 0x54);
static_assert(offsetof(SiteMachine, fpuEnvOut) == 0x58);
static_assert(offsetof(SiteMachine, fpuEnvHost) == 0x74);
static_assert(offsetof(SiteMachine, stack) == 0x90);
static_assert(offsetof(SiteMachine, stackOut) == 0x190);
static_assert(offsetof(SiteMachine, fpu) == 0x290);
static_assert(offsetof(SiteMachine, scratch) == 0x2D0);
static_assert(offsetof(SiteMachine, st0) == 0x2E0);
static_assert(offsetof(SiteMachine, xmmIn) == 0x2F0);
static_assert(offsetof(SiteMachine, fpuControl) == 0x370);
static_assert(offsetof(SiteMachine, hostMxcsr) == 0x378);
static_assert(offsetof(SiteMachine, floatOut) == 0x380);

extern "C" SiteMachine gSiteMachine asm("qxsim_site_machine");
SiteMachine gSiteMachine{};

// Saves the runner's callee-saved registers, x87 environment and MXCSR, builds the game's
// stack below a 16-byte boundary, loads the x87 values, the SSE registers, the control word,
// MXCSR and the general registers, and jumps to the site. (Every SSE register is the caller's to lose in both
// systems' calling conventions, so the runner keeps none of its own.)
extern "C" __attribute__((naked)) void EnterSite() asm("qxsim_enter_site");
extern "C" __attribute__((naked)) void EnterSite() {
  asm(".intel_syntax noprefix\n"
      "  push ebx\n"
      "  push esi\n"
      "  push edi\n"
      "  push ebp\n"
      "  fnstenv [qxsim_site_machine+0x74]\n"
      "  fldenv [qxsim_site_machine+0x74]\n"
      "  stmxcsr [qxsim_site_machine+0x378]\n"
      "  mov dword ptr [qxsim_site_machine+0x50], esp\n"
      "  and esp, -16\n"
      "  mov ecx, dword ptr [qxsim_site_machine+0x20]\n"
      ".Lqxsim_push_word:\n"
      "  test ecx, ecx\n"
      "  jz .Lqxsim_words_pushed\n"
      "  push dword ptr [qxsim_site_machine+0x90+ecx*4-4]\n"
      "  dec ecx\n"
      "  jmp .Lqxsim_push_word\n"
      ".Lqxsim_words_pushed:\n"
      "  mov ecx, dword ptr [qxsim_site_machine+0x24]\n"
      ".Lqxsim_load_fpu:\n"
      "  test ecx, ecx\n"
      "  jz .Lqxsim_fpu_loaded\n"
      "  fld qword ptr [qxsim_site_machine+0x290+ecx*8-8]\n"
      "  dec ecx\n"
      "  jmp .Lqxsim_load_fpu\n"
      ".Lqxsim_fpu_loaded:\n"
      "  movdqu xmm0, [qxsim_site_machine+0x2F0]\n"
      "  movdqu xmm1, [qxsim_site_machine+0x300]\n"
      "  movdqu xmm2, [qxsim_site_machine+0x310]\n"
      "  movdqu xmm3, [qxsim_site_machine+0x320]\n"
      "  movdqu xmm4, [qxsim_site_machine+0x330]\n"
      "  movdqu xmm5, [qxsim_site_machine+0x340]\n"
      "  movdqu xmm6, [qxsim_site_machine+0x350]\n"
      "  movdqu xmm7, [qxsim_site_machine+0x360]\n"
      "  fldcw word ptr [qxsim_site_machine+0x370]\n"
      "  ldmxcsr [qxsim_site_machine+0x374]\n"
      "  mov dword ptr [qxsim_site_machine+0x4C], esp\n"
      "  mov eax, dword ptr [qxsim_site_machine+0x00]\n"
      "  mov ebx, dword ptr [qxsim_site_machine+0x04]\n"
      "  mov ecx, dword ptr [qxsim_site_machine+0x08]\n"
      "  mov edx, dword ptr [qxsim_site_machine+0x0C]\n"
      "  mov esi, dword ptr [qxsim_site_machine+0x10]\n"
      "  mov edi, dword ptr [qxsim_site_machine+0x14]\n"
      "  mov ebp, dword ptr [qxsim_site_machine+0x18]\n"
      "  jmp dword ptr [qxsim_site_machine+0x1C]\n"
      ".att_syntax prefix\n");
}

// Reached from a resume address: records the registers, esp, flags, the whole floating-point
// state, the x87 environment and the stack words, then puts the runner's state back and
// returns from EnterSite.
extern "C" __attribute__((naked)) void CatchSite() asm("qxsim_catch_site");
extern "C" __attribute__((naked)) void CatchSite() {
  asm(".intel_syntax noprefix\n"
      "  mov dword ptr [qxsim_site_machine+0x28], eax\n"
      "  mov dword ptr [qxsim_site_machine+0x2C], ebx\n"
      "  mov dword ptr [qxsim_site_machine+0x30], ecx\n"
      "  mov dword ptr [qxsim_site_machine+0x34], edx\n"
      "  mov dword ptr [qxsim_site_machine+0x38], esi\n"
      "  mov dword ptr [qxsim_site_machine+0x3C], edi\n"
      "  mov dword ptr [qxsim_site_machine+0x40], ebp\n"
      "  mov dword ptr [qxsim_site_machine+0x44], esp\n"
      "  fxsave [qxsim_site_machine+0x380]\n"
      "  lea esp, [qxsim_site_machine+0x2E0]\n"
      "  pushfd\n"
      "  pop dword ptr [qxsim_site_machine+0x48]\n"
      "  fnstenv [qxsim_site_machine+0x58]\n"
      // fnstenv masked the x87 exceptions: an empty ST0 stores the indefinite NaN, and the
      // runner's environment is loaded again below.
      "  fst qword ptr [qxsim_site_machine+0x2E0]\n"
      "  cld\n"
      "  mov esi, dword ptr [qxsim_site_machine+0x4C]\n"
      "  lea edi, [qxsim_site_machine+0x190]\n"
      "  mov ecx, dword ptr [qxsim_site_machine+0x20]\n"
      "  rep movsd\n"
      "  mov esp, dword ptr [qxsim_site_machine+0x50]\n"
      "  fldenv [qxsim_site_machine+0x74]\n"
      "  ldmxcsr [qxsim_site_machine+0x378]\n"
      "  pop ebp\n"
      "  pop edi\n"
      "  pop esi\n"
      "  pop ebx\n"
      "  ret\n"
      ".att_syntax prefix\n");
}

std::vector<std::uint8_t> RelBranch(std::uint8_t opcode, std::uintptr_t site,
                                    std::uintptr_t target) {
  auto displacement = static_cast<std::uint32_t>(target - (site + 5));
  std::vector<std::uint8_t> bytes{opcode};
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(displacement >> (8 * i)));
  return bytes;
}

void PlaceSiteCode(std::uintptr_t site, std::initializer_list<std::uint8_t> code) {
  WriteGameBytes(site, code.begin(), code.size());
}

// mov dword ptr [resumedAt], resume; jmp CatchSite
void PlaceResumeCatcher(std::uintptr_t resume) {
  std::uint8_t stub[15] = {0xC7, 0x05};
  auto slot = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&gSiteMachine.resumedAt));
  auto value = static_cast<std::uint32_t>(resume);
  std::memcpy(stub + 2, &slot, 4);
  std::memcpy(stub + 6, &value, 4);
  std::vector<std::uint8_t> jump =
      RelBranch(0xE9, resume + 10, reinterpret_cast<std::uintptr_t>(&CatchSite));
  std::memcpy(stub + 10, jump.data(), 5);
  WriteGameBytes(resume, stub, sizeof stub);
}

float SiteExit::StackFloat(std::size_t byteOffset) const {
  float value = 0.0f;
  if (byteOffset % 4 == 0 && byteOffset / 4 < stack.size()) {
    std::memcpy(&value, &stack[byteOffset / 4], 4);
  }
  return value;
}

namespace {

constexpr std::size_t kPatchBytes = 5;  // a patch is one branch at the site

// fxsave's layout.
constexpr std::size_t kControlAt = 0, kStatusAt = 2, kTagAt = 4, kMxcsrAt = 24, kStAt = 32,
                      kXmmAt = 160;

std::uint16_t CurrentFpuControl() {
  std::uint16_t control = 0;
  asm volatile("fnstcw %0" : "=m"(control));
  return control;
}

std::uint32_t CurrentMxcsr() {
  std::uint32_t mxcsr = 0;
  asm volatile("stmxcsr %0" : "=m"(mxcsr));
  return mxcsr;
}

template <typename T>
T Read(const std::array<std::uint8_t, 512>& image, std::size_t at) {
  T value{};
  std::memcpy(&value, image.data() + at, sizeof value);
  return value;
}

}  // namespace

SiteExit RunSite(const SiteEntry& entry) {
  if (entry.stack.size() > kMaxSiteStackWords || entry.fpu.size() > kMaxSiteFpuValues) {
    std::fprintf(stderr, "sim: a site run takes at most %zu stack words and %zu x87 values\n",
                 kMaxSiteStackWords, kMaxSiteFpuValues);
    std::abort();
  }
  SiteMachine& m = gSiteMachine;
  const Registers& r = entry.registers;
  std::uint32_t in[7] = {r.eax, r.ebx, r.ecx, r.edx, r.esi, r.edi, r.ebp};
  std::memcpy(m.in, in, sizeof in);
  m.entry = static_cast<std::uint32_t>(entry.address);
  m.stackCount = static_cast<std::uint32_t>(entry.stack.size());
  m.fpuCount = static_cast<std::uint32_t>(entry.fpu.size());
  std::copy(entry.stack.begin(), entry.stack.end(), m.stack);
  std::copy(entry.fpu.begin(), entry.fpu.end(), m.fpu);
  m.resumedAt = 0;
  m.fpuControl = entry.fpuControl.value_or(CurrentFpuControl());
  m.mxcsr = entry.mxcsr.value_or(CurrentMxcsr());
  // A pattern of its own in each SSE register (a float of the game's in each lane).
  for (unsigned reg = 0; reg < 8; ++reg) {
    for (unsigned lane = 0; lane < 4; ++lane) {
      float value = 1000.0f * static_cast<float>(reg + 1) + static_cast<float>(lane) + 0.25f;
      std::memcpy(&m.xmmIn[reg][lane * 4], &value, 4);
    }
  }

  EnterSite();

  SiteExit exit;
  exit.resumedAt = m.resumedAt;
  exit.registers = {m.out[0], m.out[1], m.out[2], m.out[3], m.out[4], m.out[5], m.out[6]};
  exit.espDelta = static_cast<std::int32_t>(m.outEsp - m.entryEsp);
  exit.eflags = m.outEflags;
  std::memcpy(&exit.fpuStatus, m.fpuEnvOut + 4, sizeof exit.fpuStatus);
  unsigned top = (exit.fpuStatus >> 11) & 7u;
  exit.fpuDepth = (8u - top) & 7u;
  exit.stack.assign(m.stackOut, m.stackOut + m.stackCount);
  exit.st0 = m.st0;
  std::memcpy(exit.floatState.data(), m.floatOut, sizeof m.floatOut);
  for (unsigned reg = 0; reg < 8; ++reg) {
    if (std::memcmp(m.xmmIn[reg], m.floatOut + kXmmAt + 16 * reg, 16) != 0) exit.xmmChanged |= 1u << reg;
  }
  return exit;
}

std::uint16_t SiteExit::FpuControl() const { return Read<std::uint16_t>(floatState, kControlAt); }

std::uint32_t SiteExit::Mxcsr() const { return Read<std::uint32_t>(floatState, kMxcsrAt); }

SiteExit RunSiteUnpatched(const SiteEntry& entry) {
  SwapWithSealedCode(entry.address, kPatchBytes);
  SiteExit exit = RunSite(entry);
  SwapWithSealedCode(entry.address, kPatchBytes);
  return exit;
}

std::string FloatStateDifferences(const SiteExit& expected, const SiteExit& actual) {
  const auto& a = expected.floatState;
  const auto& b = actual.floatState;
  std::string differences;
  auto note = [&](bool differ, const std::string& what) {
    if (differ) differences += (differences.empty() ? "" : ", ") + what;
  };
  note(Read<std::uint16_t>(a, kControlAt) != Read<std::uint16_t>(b, kControlAt), "control word");
  note(Read<std::uint16_t>(a, kStatusAt) != Read<std::uint16_t>(b, kStatusAt), "status word");
  note(a[kTagAt] != b[kTagAt], "tag word");
  note(Read<std::uint32_t>(a, kMxcsrAt) != Read<std::uint32_t>(b, kMxcsrAt), "MXCSR");
  unsigned top = (Read<std::uint16_t>(a, kStatusAt) >> 11) & 7u;
  for (unsigned i = 0; i < 8; ++i) {
    bool inUse = (a[kTagAt] >> ((top + i) & 7u)) & 1u;
    note(inUse && std::memcmp(&a[kStAt + 16 * i], &b[kStAt + 16 * i], 10) != 0, "ST" + std::to_string(i));
  }
  for (unsigned reg = 0; reg < 8; ++reg) {
    note(std::memcmp(&a[kXmmAt + 16 * reg], &b[kXmmAt + 16 * reg], 16) != 0, "xmm" + std::to_string(reg));
  }
  return differences;
}

}  // namespace sim
