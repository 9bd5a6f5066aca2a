#include "fixes/MagicEffectArtwork.h"

#include "common/IDebugLog.h"
#include "patching/CodePatch.h"
#include "patching/TrampolineAsm.h"
#include "settings/ProjectIni.h"

namespace qx {
namespace {

// Read by the patched pick on the game's threads; written once while the plugin loads.
const ProjectIni* gArtworkSettings = nullptr;

}  // namespace

game::EffectSetting* ChooseArtEffect(const ProjectIni& settings, const game::MagicItem* item,
                                     game::EffectSetting* chosen) noexcept {
  if (settings.meaoDisableAll) return nullptr;
  const auto& priorities = settings.KeywordPriorityTable;
  if (item == nullptr || chosen == nullptr || priorities.empty() || item->numEffects <= 1 ||
      item->effects == nullptr) {
    return chosen;
  }
  std::uint32_t best = 0;
  game::EffectSetting* result = chosen;
  for (std::uint32_t i = 0; i < item->numEffects; ++i) {
    const game::EffectItem* effect = item->effects[i];
    if (effect == nullptr || effect->mgef == nullptr) continue;
    const game::BGSKeywordForm& keywords = effect->mgef->keywordForm;
    if (keywords.keywords == nullptr) continue;
    for (std::uint32_t k = 0; k < keywords.numKeywords; ++k) {
      const std::uint32_t* priority = priorities.find(keywords.keywords[k]);
      if (priority != nullptr && *priority > best) {
        best = *priority;
        result = effect->mgef;
      }
    }
  }
  return result;
}

game::EffectSetting* ChooseArtEffect(const game::MagicItem* item,
                                     game::EffectSetting* chosen) noexcept {
  if (gArtworkSettings == nullptr) return chosen;
  return ChooseArtEffect(*gArtworkSettings, item, chosen);
}

}  // namespace qx

// The trampoline's way into the choice: a plain function with a fixed assembler name.
extern "C" qx::game::EffectSetting* QxChooseArtEffectFromHook(
    const qx::game::MagicItem* item, qx::game::EffectSetting* chosen) noexcept
    asm("qx_choose_art_effect_from_hook");
extern "C" qx::game::EffectSetting* QxChooseArtEffectFromHook(
    const qx::game::MagicItem* item, qx::game::EffectSetting* chosen) noexcept {
  return qx::ChooseArtEffect(item, chosen);
}

// Read only by the trampoline's indirect call and jump; declared extern so that they keep
// external linkage and are never dropped as unused.
extern "C" {
extern const std::uintptr_t kArtPickCalleeWord asm("qx_art_pick_callee");
extern const std::uintptr_t kArtPickResumeWord asm("qx_art_pick_resume");
const std::uintptr_t kArtPickCalleeWord = qx::game::kArtPickCallee;
const std::uintptr_t kArtPickResumeWord = qx::game::kArtPickCallResume;
}

// Jumped to instead of the game's call of its pick, with the game's registers and stack as
// they were for that call (ecx: the magic item). The pick runs first, exactly as the game
// called it; it returns the magic effect it chose in eax and leaves the item in ecx. Then the
// choice runs with ebx, ecx, edx, esi, edi and ebp kept, and the game resumes after its call
// with the choice in eax.
extern "C" __attribute__((naked)) void QxArtPickTrampoline() asm("qx_art_pick_trampoline");
extern "C" __attribute__((naked)) void QxArtPickTrampoline() {
  asm(QX_ASM_BEGIN
      "  call dword ptr [qx_art_pick_callee]\n"
      QX_ASM_SAVE_ALL_BUT_EAX
      "  push eax\n"
      "  push ecx\n"
      "  call qx_choose_art_effect_from_hook\n"
      "  add esp, 8\n"
      QX_ASM_RESTORE_ALL_BUT_EAX
      "  jmp dword ptr [qx_art_pick_resume]\n"
      QX_ASM_END);
}

namespace qx {

bool ArtworkOverridesWanted(const ProjectIni& settings) {
  return settings.gEnableMagicEffectArtworkOverrides;
}

void InstallMagicEffectArtworkOverrides(ProjectIni& settings) {
  gArtworkSettings = &settings;
  WriteRelBranch(game::kArtPickCallSite, kOpcodeJump, AddressOf(&QxArtPickTrampoline));
  LogMessage("QX Inject: magic effect artwork overrides loaded");
}

}  // namespace qx
