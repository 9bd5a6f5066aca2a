#pragma once
// Pieces of trampoline text shared by the patches: Intel syntax in and out, the seven
// general registers saved in the game's order and restored in reverse, and the whole
// floating-point state kept around a routine.
#define QX_ASM_BEGIN ".intel_syntax noprefix\n"
#define QX_ASM_END ".att_syntax prefix\n"

// The six general registers besides eax, for trampolines that hand a result back in eax.
#define QX_ASM_SAVE_ALL_BUT_EAX \
  "  push ebx\n"               \
  "  push ecx\n"               \
  "  push edx\n"               \
  "  push esi\n"               \
  "  push edi\n"               \
  "  push ebp\n"

#define QX_ASM_RESTORE_ALL_BUT_EAX \
  "  pop ebp\n"                   \
  "  pop edi\n"                   \
  "  pop esi\n"                   \
  "  pop edx\n"                   \
  "  pop ecx\n"                   \
  "  pop ebx\n"

#define QX_ASM_SAVE_GAME_REGISTERS "  push eax\n" QX_ASM_SAVE_ALL_BUT_EAX
#define QX_ASM_RESTORE_GAME_REGISTERS QX_ASM_RESTORE_ALL_BUT_EAX "  pop eax\n"

// Where the plugin's routine runs in the middle of a game function and not at one of its
// calls, the game may hold anything in its flags and its floating-point unit: values on the
// x87 stack (up to all eight), its control, status and tag words, MXCSR, xmm0-xmm7. Between
// these two pieces a routine may compute as it likes: the flags are pushed, the unit's state
// is kept in a 16-byte aligned area on the thread's own stack (fxsave), and the routine
// starts with an empty x87 stack and the x87 unit's defaults, and with the game's MXCSR, as
// at any call the game makes.
// After SAVE, esp is the area and ebp holds esp as it was before (ebp must have been saved
// first); arguments on the stack before SAVE are read from ebp. Before RESTORE, esp must be
// the area again; nothing between RESTORE and the game's next instruction may change a flag.
#define QX_ASM_SAVE_FLAGS_AND_FLOAT_STATE \
  "  mov ebp, esp\n"                      \
  "  pushfd\n"                            \
  "  and esp, -16\n"                      \
  "  sub esp, 512\n"                      \
  "  fxsave [esp]\n"                      \
  "  fninit\n"

#define QX_ASM_RESTORE_FLAGS_AND_FLOAT_STATE \
  "  fxrstor [esp]\n"                        \
  "  lea esp, [ebp-4]\n"                     \
  "  popfd\n"
