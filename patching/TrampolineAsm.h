#pragma once
// Pieces of trampoline text shared by the patches: Intel syntax in and out, and the seven
// general registers saved in the game's order and restored in reverse.
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
