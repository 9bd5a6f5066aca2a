#pragma once
// The game's interned strings: a StringCache::Ref is one pointer to the cache's copy.
#include "skse/HostCall.h"

namespace qx::game {

inline constexpr host::Address kStringRefConstruct = 0x00A511C0;  // Ref::Ref(const char*)
inline constexpr host::Address kStringRefSet = 0x00A51210;        // Ref::Set(const char*)

}  // namespace qx::game

namespace StringCache {

struct Ref {
  const char* data;  // 00 the cache's zero-terminated copy, or null

  [[nodiscard]] const char* c_str() const noexcept { return data; }
};
static_assert(sizeof(Ref) == 4);

}  // namespace StringCache
