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

namespace {

float GetAVModifierOfScript(StaticFunctionTag*, qxnsSKSE::ActorExtended* actor, std::uint32_t kind,
                            StringCache::Ref actorValueName) {
  return GetAVModifier(actor, kind, actorValueName.c_str());
}

const NativeFunctionDef kFunctions[] = {
    DefineNative("GetAVModifier", &GetAVModifierOfScript),
};

const NativeClassDef kClass{"QXAVPF", kFunctions};

}  // namespace

const NativeClassDef& QXAVPFClass() { return kClass; }

bool RegisterQXAVPF(ScriptRegistry* registry) { return RegisterNativeClass(registry, kClass); }

}  // namespace qx::papyrus
