#pragma once
// The game's run-time type records, as its compiler (the 32-bit MSVC object model) lays them
// out. The word just before an object's virtual table points at the complete object locator;
// from there the type descriptor holds the class's decorated name (".?AVBGSKeyword@@") and
// the class hierarchy descriptor lists the class and all its bases. Every pointer here is
// absolute (32-bit records carry no image-relative offsets).
#include <cstddef>
#include <cstdint>

namespace qx::game::rtti {

struct TypeDescriptor {
  const void* vtable;  // 00 type_info's table
  void* spare;         // 04
  char name[1];        // 08 decorated name, zero-terminated
};
static_assert(offsetof(TypeDescriptor, spare) == 0x04);
static_assert(offsetof(TypeDescriptor, name) == 0x08);

struct ClassHierarchyDescriptor;

// Displacement of a base within the complete object.
struct PMD {
  std::int32_t mdisp;  // 00
  std::int32_t pdisp;  // 04 -1 when the base is not virtual
  std::int32_t vdisp;  // 08
};
static_assert(sizeof(PMD) == 0x0C);

struct BaseClassDescriptor {
  const TypeDescriptor* typeDescriptor;               // 00
  std::uint32_t numContainedBases;                    // 04
  PMD where;                                          // 08
  std::uint32_t attributes;                           // 14
  const ClassHierarchyDescriptor* classDescriptor;    // 18 present when attributes has 0x40
};
static_assert(offsetof(BaseClassDescriptor, numContainedBases) == 0x04);
static_assert(offsetof(BaseClassDescriptor, where) == 0x08);
static_assert(offsetof(BaseClassDescriptor, attributes) == 0x14);
static_assert(offsetof(BaseClassDescriptor, classDescriptor) == 0x18);
inline constexpr std::uint32_t kBaseClassHasHierarchy = 0x40;

struct ClassHierarchyDescriptor {
  std::uint32_t signature;                        // 00 0
  std::uint32_t attributes;                       // 04 1 multiple, 2 virtual inheritance
  std::uint32_t numBaseClasses;                   // 08 the class itself counts
  const BaseClassDescriptor* const* baseClasses;  // 0C the class first, then its bases
};
static_assert(offsetof(ClassHierarchyDescriptor, attributes) == 0x04);
static_assert(offsetof(ClassHierarchyDescriptor, numBaseClasses) == 0x08);
static_assert(offsetof(ClassHierarchyDescriptor, baseClasses) == 0x0C);

struct CompleteObjectLocator {
  std::uint32_t signature;                          // 00 0 in 32-bit code
  std::uint32_t offset;                             // 04 of this table's pointer in the object
  std::uint32_t cdOffset;                           // 08 constructor displacement
  const TypeDescriptor* typeDescriptor;             // 0C the complete object's class
  const ClassHierarchyDescriptor* classDescriptor;  // 10
};
static_assert(offsetof(CompleteObjectLocator, offset) == 0x04);
static_assert(offsetof(CompleteObjectLocator, cdOffset) == 0x08);
static_assert(offsetof(CompleteObjectLocator, typeDescriptor) == 0x0C);
static_assert(offsetof(CompleteObjectLocator, classDescriptor) == 0x10);
inline constexpr std::uint32_t kLocatorSignature32 = 0;

inline constexpr const char* kTypeName_BGSKeyword = ".?AVBGSKeyword@@";

}  // namespace qx::game::rtti
