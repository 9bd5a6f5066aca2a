#include "skse/RttiClassCheck.h"

#include <cstring>

#include "skse/GameRtti.h"

namespace qx::game {
namespace {

using namespace rtti;

// No class of the game has anywhere near this many bases; a larger count is a broken record.
constexpr std::uint32_t kMaxBaseClasses = 64;

bool NameIs(const TypeDescriptor* type, const char* typeName) noexcept {
  // strncmp stops at the first difference, so it never reads past the record's own end.
  return type != nullptr && std::strncmp(type->name, typeName, std::strlen(typeName) + 1) == 0;
}

}  // namespace

bool IsObjectOfClass(const void* object, const char* typeName) noexcept {
  if (object == nullptr) return false;
  auto* const* vtable = *static_cast<const CompleteObjectLocator* const* const*>(object);
  if (vtable == nullptr) return false;
  const CompleteObjectLocator* locator = vtable[-1];
  if (locator == nullptr || locator->signature != kLocatorSignature32) return false;
  if (NameIs(locator->typeDescriptor, typeName)) return true;

  const ClassHierarchyDescriptor* hierarchy = locator->classDescriptor;
  if (hierarchy == nullptr || hierarchy->baseClasses == nullptr) return false;
  std::uint32_t count = hierarchy->numBaseClasses;
  if (count > kMaxBaseClasses) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const BaseClassDescriptor* base = hierarchy->baseClasses[i];
    if (base != nullptr && NameIs(base->typeDescriptor, typeName)) return true;
  }
  return false;
}

bool IsKeyword(const TESForm* form) noexcept {
  return IsObjectOfClass(form, rtti::kTypeName_BGSKeyword);
}

}  // namespace qx::game
