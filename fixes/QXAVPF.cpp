#include "fixes/QXAVPF.h"

#include "skse/GameActorValues.h"

namespace qx::papyrus {

float GetAVModifier(qxnsSKSE::ActorExtended* actor, std::uint32_t kind, const char* actorValueName) {
  if (actor == nullptr) return 0.0f;
  // The game's lookup would read through a null name.
  if (actorValueName == nullptr) return 0.0f;
  std::uint32_t index = game::LookupActorValueByName(actorValueName);
  if (index >= game::kActorValueCount) return 0.0f;
  return actor->GetAVModifier(kind, index);
}

}  // namespace qx::papyrus
