#pragma once
// Pieces of trampoline text shared by the patches: Intel syntax in and out, and the seven
// general registers saved in the game's order and restored in reverse.
#define QX_ASM_BEGIN ".intel_syntax noprefix\n"
#define QX_ASM_END ".att_syntax prefix\n"

#define QX_ASM_SAVE_GAME_REGISTERS \
  "  push eax\n"                   \
  "  push ebx\n"                   \
  "  push ecx\n"                   \
  "  push edx\n"                   \
  "  push esi\n"                   \
  "  push edi\n"                   \
  "  push ebp\n"

#define QX_ASM_RESTORE_GAME_REGISTERS \
  "  pop ebp\n"                       \
  "  pop edi\n"                       \
  "  pop esi\n"                       \
  "  pop edx\n"                       \
  "  pop ecx\n"                       \
  "  pop ebx\n"                       \
  "  pop eax\n"
