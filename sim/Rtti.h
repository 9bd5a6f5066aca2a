#pragma once
// The simulated game's classes carry type records as the game's compiler writes them: a
// virtual table whose preceding word points at a complete object locator, a type descriptor
// with the decorated name, and a class hierarchy descriptor listing the class and its bases.
#include <cstddef>
#include <string>
#include <vector>

#include "skse/GameRtti.h"

namespace sim {

class RttiClass {
 public:
  static constexpr std::size_t kSlots = 16;

  // `name` is the plain class name ("BGSKeyword"); `base` its single base class, or null.
  RttiClass(const std::string& name, const RttiClass* base);
  RttiClass(const RttiClass&) = delete;
  RttiClass& operator=(const RttiClass&) = delete;

  // The table to put at offset 0 of an object of this class; its word -1 is the locator.
  [[nodiscard]] void* VTable() const { return const_cast<void**>(&table_[1]); }
  void SetSlot(std::size_t slot, const void* function) { table_[1 + slot] = const_cast<void*>(function); }

  [[nodiscard]] const qx::game::rtti::CompleteObjectLocator& Locator() const { return locator_; }
  // The records as a test may want to break them.
  [[nodiscard]] qx::game::rtti::CompleteObjectLocator& MutableLocator() { return locator_; }

 private:
  struct NamedType {
    const void* vtable;
    void* spare;
    char name[96];
  };
  static_assert(offsetof(NamedType, name) == offsetof(qx::game::rtti::TypeDescriptor, name));

  NamedType type_{};
  qx::game::rtti::BaseClassDescriptor self_{};
  std::vector<const qx::game::rtti::BaseClassDescriptor*> bases_;
  qx::game::rtti::ClassHierarchyDescriptor hierarchy_{};
  qx::game::rtti::CompleteObjectLocator locator_{};
  void* table_[1 + kSlots]{};
};

// One lasting instance per game class name, with the game's own base chains for the classes
// the plugin reads: TESForm, BGSKeyword, BGSLocationRefType (a keyword), EffectSetting,
// MagicItem, SpellItem, TESObjectBOOK, BGSSoundDescriptorForm; ActiveEffect (not a form).
// Unknown names derive from TESForm.
[[nodiscard]] RttiClass& GameClass(const std::string& name);

}  // namespace sim
