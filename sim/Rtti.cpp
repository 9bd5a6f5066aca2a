#include "sim/Rtti.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace sim {
namespace {

using namespace qx::game::rtti;

struct KnownClass {
  const char* name;
  const char* base;
};

constexpr KnownClass kKnownClasses[] = {
    {"TESForm", nullptr},
    {"BGSKeyword", "TESForm"},
    {"BGSLocationRefType", "BGSKeyword"},
    {"EffectSetting", "TESForm"},
    {"MagicItem", "TESForm"},
    {"SpellItem", "MagicItem"},
    {"TESObjectBOOK", "TESForm"},
    {"BGSSoundDescriptorForm", "TESForm"},
    {"ActiveEffect", nullptr},
};

}  // namespace

RttiClass::RttiClass(const std::string& name, const RttiClass* base) {
  std::string decorated = ".?AV" + name + "@@";
  if (decorated.size() >= sizeof(type_.name)) {
    std::fprintf(stderr, "sim: class name too long: %s\n", name.c_str());
    std::abort();
  }
  decorated.copy(type_.name, decorated.size());
  const auto* type = reinterpret_cast<const TypeDescriptor*>(&type_);

  // The class itself comes first, then every base, nearest first.
  bases_.push_back(&self_);
  if (base != nullptr) {
    bases_.insert(bases_.end(), base->bases_.begin(), base->bases_.end());
  }
  self_.typeDescriptor = type;
  self_.numContainedBases = static_cast<std::uint32_t>(bases_.size() - 1);
  self_.where = {0, -1, 0};
  self_.attributes = kBaseClassHasHierarchy;
  self_.classDescriptor = &hierarchy_;

  hierarchy_.signature = 0;
  hierarchy_.attributes = 0;
  hierarchy_.numBaseClasses = static_cast<std::uint32_t>(bases_.size());
  hierarchy_.baseClasses = bases_.data();

  locator_.signature = kLocatorSignature32;
  locator_.typeDescriptor = type;
  locator_.classDescriptor = &hierarchy_;
  table_[0] = &locator_;
}

RttiClass& GameClass(const std::string& name) {
  static auto* classes = new std::map<std::string, std::unique_ptr<RttiClass>>();
  if (auto found = classes->find(name); found != classes->end()) return *found->second;
  // Unknown classes are forms; known classes name their base, or none.
  const char* baseName = "TESForm";
  for (const KnownClass& known : kKnownClasses) {
    if (name == known.name) baseName = known.base;
  }
  const RttiClass* base = baseName != nullptr ? &GameClass(baseName) : nullptr;
  auto& slot = (*classes)[name];
  slot = std::make_unique<RttiClass>(name, base);
  return *slot;
}

}  // namespace sim
