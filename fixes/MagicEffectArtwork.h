#pragma once
// The magic effect whose artwork a magic item shows: the game picks one of the item's
// effects; the patch lets the keyword with the highest priority overrule that pick, or
// (disableall) removes the artwork altogether.
#include <cstdint>

#include "skse/GameMagic.h"

namespace qx {

class ProjectIni;

// Among the item's effects, the magic effect carrying the keyword of the highest priority
// (compared as unsigned, so -1 beats every positive priority; 0 never wins; the first of
// equal priorities wins). The game's pick stands when no keyword has a priority, the item
// has one effect or less, or either pointer is null; disableall gives null.
[[nodiscard]] game::EffectSetting* ChooseArtEffect(const ProjectIni& settings,
                                                   const game::MagicItem* item,
                                                   game::EffectSetting* chosen) noexcept;

// The same with the settings recorded at install; the game's pick stands without them.
[[nodiscard]] game::EffectSetting* ChooseArtEffect(const game::MagicItem* item,
                                                   game::EffectSetting* chosen) noexcept;

[[nodiscard]] bool ArtworkOverridesWanted(const ProjectIni& settings);
// Records the settings, then jumps from the pick's call site into the trampoline.
void InstallMagicEffectArtworkOverrides(ProjectIni& settings);

}  // namespace qx
